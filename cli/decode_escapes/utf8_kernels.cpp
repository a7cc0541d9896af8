#include "utf8_kernels.h"

const Utf8Kernel& Utf8KernelFor(Kernel kernel)
{
    switch (kernel) {
#define UTF8_KERNEL_CASE(id)                                                                                           \
    case Kernel::id:                                                                                                   \
        return Utf8Kernel##id;
        FOR_EACH_BUILT_KERNEL(UTF8_KERNEL_CASE)
#undef UTF8_KERNEL_CASE
    default:
        return Utf8KernelPortable;
    }
}

const FormatKernel& FormatKernelFor(Kernel kernel)
{
    switch (kernel) {
#define FORMAT_KERNEL_CASE(id)                                                                                         \
    case Kernel::id:                                                                                                   \
        return FormatKernel##id;
        FOR_EACH_BUILT_KERNEL(FORMAT_KERNEL_CASE)
#undef FORMAT_KERNEL_CASE
    default:
        return FormatKernelPortable;
    }
}
