// The kernels of the UTF-8 decoding, one per instruction set.
#ifndef DECODE_ESCAPES_UTF8_KERNELS_H
#define DECODE_ESCAPES_UTF8_KERNELS_H

#include "utf8_escapes.h"

extern const Utf8Kernel Utf8KernelPortable;

#endif
