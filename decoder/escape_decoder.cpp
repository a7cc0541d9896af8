// The one place that picks a kernel: every decode goes through here.
#include "escape_decoder.h"

#include "kernels.h"

void DecodeText(char16_t* text, DecodeMode mode)
{
    DecodeText(text, mode, BestKernel());
}

void DecodeText(char16_t* text, DecodeMode mode, Kernel kernel)
{
    switch (kernel) {
#if defined(BUILD_X86_KERNELS)
    case Kernel::Avx2:
        DecodeTextAvx2(text, mode);
        return;
    case Kernel::Sse2:
        DecodeTextSse2(text, mode);
        return;
#endif
    default:
        DecodeTextPortable(text, mode);
        return;
    }
}
