// The kernels' entry points, one per instruction set, for the dispatch in
// escape_decoder.cpp. Each decodes like DecodeText and runs only on a
// processor that CanRunKernel says has its instruction set.
#ifndef DECODER_KERNELS_H
#define DECODER_KERNELS_H

#include "decoder/decode_mode.h"

void DecodeTextPortable(char16_t* text, DecodeMode mode);
void DecodeTextSse2(char16_t* text, DecodeMode mode);
void DecodeTextAvx2(char16_t* text, DecodeMode mode);

#endif
