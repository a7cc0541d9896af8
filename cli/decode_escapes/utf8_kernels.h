// The kernels of the UTF-8 decoding, Utf8Kernel<Kernel> for each kernel that
// this build has, and the one place that picks among them, by the decoder's
// own kernels.
#ifndef DECODE_ESCAPES_UTF8_KERNELS_H
#define DECODE_ESCAPES_UTF8_KERNELS_H

#include "text_kernels/cpu_kernels.h"
#include "utf8_escapes.h"

#define UTF8_KERNEL(id) extern const Utf8Kernel Utf8Kernel##id;
FOR_EACH_BUILT_KERNEL(UTF8_KERNEL)
#undef UTF8_KERNEL

// The UTF-8 kernel for `kernel`, which must be one that CanRunKernel
// accepts (a kernel this build lacks gives the portable one).
const Utf8Kernel& Utf8KernelFor(Kernel kernel);

#endif
