// The SSE2 kernel: searches eight units at a time, and decodes plain
// escapes back to back four at a time.
#include "decode_driver.h"
#include "kernels.h"
#include "sse2_blocks.h"

namespace {

struct Sse2Kernel : Sse2Blocks {
    using CharRefGroups = Groups<CharRefFour>;
    using UcnGroups = Groups<UcnFour>;
};

}  // namespace

void DecodeTextSse2(char16_t* text, DecodeMode mode)
{
    DecodeWith<Sse2Kernel>(text, mode);
}
