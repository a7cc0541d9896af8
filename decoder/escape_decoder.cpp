// The one place that picks a kernel: every decode goes through here.
#include "decoder/escape_decoder.h"

#include "kernels.h"

void DecodeText(char16_t* text, DecodeMode mode)
{
    DecodeText(text, mode, BestKernel());
}

void DecodeText(char16_t* text, DecodeMode mode, Kernel kernel)
{
    switch (kernel) {
#define KERNEL_CASE(id)                                                                                                \
    case Kernel::id:                                                                                                   \
        DecodeText##id(text, mode);                                                                                    \
        return;
        FOR_EACH_BUILT_KERNEL(KERNEL_CASE)
#undef KERNEL_CASE
    default:
        DecodeTextPortable(text, mode);
        return;
    }
}
