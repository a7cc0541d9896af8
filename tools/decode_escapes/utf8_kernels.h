// The kernels of the UTF-8 decoding and of the html and json modes, one per
// instruction set, and the one place that picks among them, by the
// decoder's own kernel names.
#ifndef DECODE_ESCAPES_UTF8_KERNELS_H
#define DECODE_ESCAPES_UTF8_KERNELS_H

#include "cpu_kernels.h"
#include "format_escapes.h"
#include "utf8_escapes.h"

extern const Utf8Kernel Utf8KernelPortable;
extern const Utf8Kernel Utf8KernelSse2;
extern const Utf8Kernel Utf8KernelAvx2;

extern const FormatKernel FormatKernelPortable;
extern const FormatKernel FormatKernelSse2;
extern const FormatKernel FormatKernelAvx2;

// The UTF-8 kernel for `kernel`, which must be one that CanRunKernel
// accepts (a kernel this build lacks gives the portable one).
const Utf8Kernel& Utf8KernelFor(Kernel kernel);

// The html and json modes' kernel for `kernel`, likewise.
const FormatKernel& FormatKernelFor(Kernel kernel);

#endif
