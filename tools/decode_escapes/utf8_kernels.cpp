#include "utf8_kernels.h"

const Utf8Kernel& Utf8KernelFor(Kernel kernel)
{
    switch (kernel) {
#if defined(BUILD_X86_KERNELS)
    case Kernel::Avx2:
        return Utf8KernelAvx2;
    case Kernel::Sse2:
        return Utf8KernelSse2;
#endif
    default:
        return Utf8KernelPortable;
    }
}

const FormatKernel& FormatKernelFor(Kernel kernel)
{
    switch (kernel) {
#if defined(BUILD_X86_KERNELS)
    case Kernel::Avx2:
        return FormatKernelAvx2;
    case Kernel::Sse2:
        return FormatKernelSse2;
#endif
    default:
        return FormatKernelPortable;
    }
}
