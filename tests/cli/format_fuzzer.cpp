// libFuzzer target for the html or the json mode (FUZZ_MODE): the stream in
// pieces, with every kernel that can run here, must give what the whole text
// in one block gives, UTF-8 and UTF-16 alike; in json, the output has no
// escape left to decode. The first byte picks the encoding and the size of
// the pieces that the input arrives in; the rest is the input.
//
// That nothing is left to decode holds where every "\u" has its four
// digits, as in JSON: in "\u2\u0041028" the decoded "A" completes an
// escape that was not one before.
#include "format_escapes.h"
#include "stream_decoding.h"
#include "whole_text_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

struct Run {
    std::string output;
    bool bad = false;
    bool decodedAny = false;
};

Run Decode(const std::string& input, EncodingChoice choice, Kernel kernel, std::size_t piece, std::size_t blockBytes)
{
    ChunkedSource source(input, {piece});
    StringSink sink;
    const StreamOutcome outcome = DecodeStream(source, choice, FUZZ_MODE, kernel, sink, blockBytes);
    return {sink.text, outcome.failure == StreamOutcome::Failure::Input, outcome.decodedAny};
}

// Well-formed UTF-8 as UTF-16LE; false for anything else.
bool ToUtf16Le(const std::string& utf8, std::string& utf16)
{
    std::u16string units(utf8.size(), u'\0');
    const ConvertStatus status = ConvertToUnits(TextEncoding::Utf8, reinterpret_cast<const unsigned char*>(utf8.data()),
                                                utf8.size(), true, &units[0]);
    if (status.error != ConvertError::None)
        return false;
    utf16.clear();
    for (std::size_t i = 0; i < status.units; ++i) {
        utf16.push_back(static_cast<char>(units[i] & 0xFF));
        utf16.push_back(static_cast<char>(units[i] >> 8));
    }
    return true;
}

// True when every "\u" of the UTF-8 text, read as the json mode reads
// escapes, is followed by four hexadecimal digits.
bool EveryNameWhole(const std::string& text)
{
    auto hex = [](char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); };
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '\\')
            continue;
        if (text[i + 1] == 'u' &&
            (text.size() - i < 6 || !hex(text[i + 2]) || !hex(text[i + 3]) || !hex(text[i + 4]) || !hex(text[i + 5])))
            return false;
        ++i;
    }
    return true;
}

void Expect(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const EncodingChoice choice = data[0] & 1 ? EncodingChoice::Utf16Le : EncodingChoice::Utf8;
    const std::size_t piece = 1 + (data[0] >> 1);
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    const Run whole = Decode(input, choice, Kernel::Portable, input.size() + 1, input.size() + 64);
    for (Kernel kernel : RunnableKernels()) {
        const Run cut = Decode(input, choice, kernel, piece, 64);
        Expect(cut.output == whole.output && cut.bad == whole.bad && cut.decodedAny == whole.decodedAny);
    }
    std::string wide;
    std::string wideOutput;
    if (choice == EncodingChoice::Utf8 && !whole.bad && ToUtf16Le(input, wide)) {
        Expect(ToUtf16Le(whole.output, wideOutput));
        Expect(Decode(wide, EncodingChoice::Utf16Le, BestKernel(), piece * 2, 64).output == wideOutput);
    }
    if (FUZZ_MODE == DecodeMode::Json && choice == EncodingChoice::Utf8 && !whole.bad && EveryNameWhole(input)) {
        const Run again = Decode(whole.output, choice, BestKernel(), piece, 64);
        Expect(again.output == whole.output && !again.decodedAny);
    }
    return 0;
}
