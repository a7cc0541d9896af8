#include "whole_text_model.h"

#include "escape_decoder.h"

#include <vector>

namespace {

// Decodes each NUL-separated part on its own and keeps the NULs.
std::u16string DecodeParts(const std::u16string& text, std::int32_t mode)
{
    std::u16string decoded;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(u'\0', start), text.size());
        std::u16string part = text.substr(start, end - start);
        part.push_back(0);
        DecodeText(&part[0], static_cast<DecodeMode>(mode), Kernel::Portable);
        decoded += part.c_str();
        if (end == text.size())
            return decoded;
        decoded.push_back(0);
        start = end + 1;
    }
}

}  // namespace

WholeTextResult DecodeWholeText(const std::string& input, EncodingChoice choice, std::int32_t mode)
{
    WholeTextResult result;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(input.data());
    TextFormat format;
    std::string error;
    if (!DetectFormat(bytes, input.size(), choice, format, error)) {
        result.bad = true;
        return result;
    }
    const std::size_t count = input.size() - format.bomBytes;
    std::vector<char16_t> units(count + 1);
    const ConvertStatus status = ConvertToUnits(format.encoding, bytes + format.bomBytes, count, true, units.data());
    result.bad = status.error != ConvertError::None;
    const std::u16string text(units.data(), status.units);
    const std::u16string decoded = DecodeParts(text, mode);
    result.decodedAny = decoded != text;
    StringSink sink;
    WriteUnits(decoded.data(), decoded.size(), format, sink, result.surrogates);
    result.output = sink.text;
    return result;
}
