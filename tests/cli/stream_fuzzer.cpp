// libFuzzer target: the streaming decoder, with every kernel that can run
// here, against the whole-text model. The
// first byte picks the mode, how the encoding is chosen and the size of the
// pieces that the input arrives in; the rest is the input.
#include "stream_decoding.h"
#include "whole_text_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const EncodingChoice choices[] = {EncodingChoice::Auto, EncodingChoice::Utf8, EncodingChoice::Utf16Le,
                                             EncodingChoice::Utf16Be};
    const std::int32_t mode = data[0] & 1;
    const EncodingChoice choice = choices[(data[0] >> 1) & 3];
    const std::size_t piece = 1 + (data[0] >> 3);
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    const WholeTextResult expected = DecodeWholeText(input, choice, mode);
    for (Kernel kernel : RunnableKernels()) {
        ChunkedSource source(input, {piece});
        StringSink sink;
        const StreamOutcome outcome = DecodeStream(source, choice, static_cast<DecodeMode>(mode), kernel, sink, 64);
        const bool bad = outcome.failure == StreamOutcome::Failure::Input;
        if (sink.text != expected.output || bad != expected.bad ||
            outcome.surrogates.count != expected.surrogates.count ||
            outcome.surrogates.firstOffset != expected.surrogates.firstOffset ||
            (!bad && outcome.decodedAny != expected.decodedAny))
            std::abort();
    }
    return 0;
}
