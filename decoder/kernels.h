// The kernels' entry points, DecodeText<Kernel> for each kernel that this
// build has, for the dispatch in escape_decoder.cpp. Each decodes like
// DecodeText and runs only on a processor that CanRunKernel says has its
// instruction set.
#ifndef DECODER_KERNELS_H
#define DECODER_KERNELS_H

#include "decoder/decode_mode.h"
#include "kernel_list.h"

#define KERNEL_ENTRY(id) void DecodeText##id(char16_t* text, DecodeMode mode);
FOR_EACH_BUILT_KERNEL(KERNEL_ENTRY)
#undef KERNEL_ENTRY

#endif
