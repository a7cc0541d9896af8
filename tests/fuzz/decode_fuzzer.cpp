// libFuzzer target: every kernel this processor runs against the literal
// model. The first byte picks the mode, the rest are UTF-16LE code units.
#include "escape_decoder.h"
#include "reference_model.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::int32_t mode = data[0] & 1;
    std::vector<char16_t> original;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        original.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    original.push_back(0);
    std::vector<char16_t> model = original;
    DecodeTextModel(model.data(), mode);
    const std::size_t model_end = std::char_traits<char16_t>::length(model.data());
    const std::size_t original_end = std::char_traits<char16_t>::length(original.data());
    static const KernelList kernels = RunnableKernels();
    for (Kernel kernel : kernels) {
        std::vector<char16_t> text = original;
        DecodeText(text.data(), static_cast<DecodeMode>(mode), kernel);
        // The results must agree up to their terminators; the units after
        // the text's own terminator belong to the caller and must not change.
        const std::size_t end = std::char_traits<char16_t>::length(text.data());
        if (end != model_end || !std::equal(text.begin(), text.begin() + end, model.begin()))
            std::abort();
        if (!std::equal(text.begin() + original_end, text.end(), original.begin() + original_end))
            std::abort();
    }
    return 0;
}
