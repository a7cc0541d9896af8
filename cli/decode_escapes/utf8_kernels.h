// The kernels of the UTF-8 decoding, Utf8Kernel<Kernel>, and of the html and
// json modes, FormatKernel<Kernel>, for each kernel that this build has, and
// the one place that picks among them, by the decoder's own kernels.
#ifndef DECODE_ESCAPES_UTF8_KERNELS_H
#define DECODE_ESCAPES_UTF8_KERNELS_H

#include "format_escapes.h"
#include "text_kernels/cpu_kernels.h"
#include "utf8_escapes.h"

#define UTF8_KERNEL(id) extern const Utf8Kernel Utf8Kernel##id;
FOR_EACH_BUILT_KERNEL(UTF8_KERNEL)
#undef UTF8_KERNEL

#define FORMAT_KERNEL(id) extern const FormatKernel FormatKernel##id;
FOR_EACH_BUILT_KERNEL(FORMAT_KERNEL)
#undef FORMAT_KERNEL

// The UTF-8 kernel for `kernel`, which must be one that CanRunKernel
// accepts (a kernel this build lacks gives the portable one).
const Utf8Kernel& Utf8KernelFor(Kernel kernel);

// The html and json modes' kernel for `kernel`, likewise.
const FormatKernel& FormatKernelFor(Kernel kernel);

#endif
