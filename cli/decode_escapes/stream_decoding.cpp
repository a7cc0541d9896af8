#include "stream_decoding.h"

#include "format_escapes.h"
#include "utf16_escapes.h"
#include "utf8_escapes.h"
#include "utf8_kernels.h"

#include <cstring>
#include <vector>

namespace {

// Room beside a block for the few bytes carried over from the one before,
// a terminator, and reads of whole vectors past the end.
const std::size_t SlackBytes = 512;
static_assert(LongestFormatCarryUnits() * sizeof(char16_t) < SlackBytes, "a carried escape must fit the slack");

// The bytes being worked on: what was carried over, then what was read.
class Block {
public:
    explicit Block(std::size_t blockBytes)
        : storage_((blockBytes + SlackBytes) / sizeof(char16_t)),
          bytes_(reinterpret_cast<unsigned char*>(storage_.data())), readBytes_(blockBytes)
    { }

    unsigned char* bytes() { return bytes_; }
    char16_t* units() { return storage_.data(); }
    std::size_t count() const { return count_; }
    std::size_t capacity() const { return storage_.size() * sizeof(char16_t); }  // in bytes
    std::uint64_t offset() const { return offset_; }                             // of bytes()[0] in the input
    bool atEnd() const { return atEnd_; }

    // Reads once, after the bytes held.
    bool Fill(ByteSource& input, std::string& error)
    {
        std::size_t got = 0;
        if (!input.Read(bytes_ + count_, readBytes_, got, error)) {
            error = "read error at byte offset " + std::to_string(offset_ + count_) + ": " + error;
            return false;
        }
        count_ += got;
        atEnd_ = got == 0;
        return true;
    }

    // Drops the first `consumed` bytes; the rest moves to the front.
    void Advance(std::size_t consumed)
    {
        std::memmove(bytes_, bytes_ + consumed, count_ - consumed);
        count_ -= consumed;
        offset_ += consumed;
    }

private:
    std::vector<char16_t> storage_;  // units, so that UTF-16 is aligned
    unsigned char* bytes_;
    std::size_t readBytes_;
    std::size_t count_ = 0;
    std::uint64_t offset_ = 0;
    bool atEnd_ = false;
};

std::string BadInput(ConvertError error, std::uint64_t offset)
{
    return std::string(DescribeConvertError(error)) + " at byte offset " + std::to_string(offset);
}

void DecodeUtf8Blocks(ByteSource& input, Block& block, DecodeMode mode, Kernel kernel, ByteSink& output,
                      StreamOutcome& outcome)
{
    Utf8EscapeDecoder decoder(mode, Utf8KernelFor(kernel));
    for (;;) {
        const Utf8Check check = decoder.Check(block.bytes(), block.count(), block.atEnd());
        const bool bad = check.error != ConvertError::None;
        const BlockStep step = decoder.Decode(block.bytes(), check.valid, block.atEnd() || bad);
        if (!output.Write(block.bytes(), step.written)) {
            outcome.failure = StreamOutcome::Failure::Output;
            break;
        }
        if (bad) {
            outcome.failure = StreamOutcome::Failure::Input;
            outcome.error = BadInput(check.error, block.offset() + check.valid);
            break;
        }
        if (block.atEnd())
            break;
        block.Advance(step.consumed);
        if (!block.Fill(input, outcome.error)) {
            outcome.failure = StreamOutcome::Failure::Input;
            break;
        }
    }
    outcome.decodedAny = decoder.decodedAny();
    outcome.surrogates = decoder.surrogates();
}

bool HostIsBigEndian()
{
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 0;
}

void SwapBytes(char16_t* units, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        units[i] = static_cast<char16_t>((units[i] >> 8) | (units[i] << 8));
}

void DecodeUtf16Blocks(ByteSource& input, Block& block, DecodeMode mode, Kernel kernel, bool bigEndian,
                       ByteSink& output, StreamOutcome& outcome)
{
    Utf16EscapeDecoder decoder(mode, kernel);
    const bool swap = bigEndian != HostIsBigEndian();
    std::size_t ordered = 0;  // units at the front already in the host's order
    for (;;) {
        char16_t* const units = block.units();
        const std::size_t count = block.count() / 2;
        if (swap)
            SwapBytes(units + ordered, count - ordered);
        const BlockStep step = decoder.Decode(units, count, block.atEnd());
        if (swap)
            SwapBytes(units, step.written);
        if (!output.Write(block.bytes(), 2 * step.written)) {
            outcome.failure = StreamOutcome::Failure::Output;
            break;
        }
        if (block.atEnd() && block.count() % 2 != 0) {
            outcome.failure = StreamOutcome::Failure::Input;
            outcome.error = BadInput(ConvertError::OddUtf16, block.offset() + block.count() - 1);
            break;
        }
        if (block.atEnd())
            break;
        block.Advance(2 * step.consumed);
        ordered = count - step.consumed;
        if (!block.Fill(input, outcome.error)) {
            outcome.failure = StreamOutcome::Failure::Input;
            break;
        }
    }
    outcome.decodedAny = decoder.decodedAny();
}

// The html and json modes: each block is decoded into a buffer of its own,
// since a reference may give more bytes than it takes.
void DecodeFormatBlocks(ByteSource& input, Block& block, DecodeMode mode, Kernel kernel, TextEncoding encoding,
                        ByteSink& output, StreamOutcome& outcome)
{
    const FormatKernel& decoder = FormatKernelFor(kernel);
    const Utf8Kernel& utf8 = Utf8KernelFor(kernel);
    FormatDecodeState state;
    state.mode = mode;
    std::vector<char16_t> result(FormatGrowth * block.capacity() / sizeof(char16_t) + FormatSlackUnits);
    const bool swap = encoding != TextEncoding::Utf8 && (encoding == TextEncoding::Utf16Be) != HostIsBigEndian();
    std::size_t ordered = 0;  // UTF-16 units at the front already in the host's order
    for (;;) {
        std::size_t usable = block.count() / 2 * 2;
        ConvertError error = block.atEnd() && usable < block.count() ? ConvertError::OddUtf16 : ConvertError::None;
        if (encoding == TextEncoding::Utf8) {
            const Utf8Check check = utf8.checkUtf8(block.bytes(), block.count(), block.atEnd());
            usable = check.valid;
            error = check.error;
        } else if (swap) {
            SwapBytes(block.units() + ordered, usable / 2 - ordered);
        }
        const bool atEnd = block.atEnd() || error != ConvertError::None;
        std::size_t consumed;
        std::size_t written;
        if (encoding == TextEncoding::Utf8) {
            auto* const out = reinterpret_cast<unsigned char*>(result.data());
            const BlockStep step = decoder.decodeUtf8(state, block.bytes(), usable, atEnd, out);
            consumed = step.consumed;
            written = step.written;
        } else {
            const BlockStep step = decoder.decodeUtf16(state, block.units(), usable / 2, atEnd, result.data());
            if (swap)
                SwapBytes(result.data(), step.written);
            consumed = 2 * step.consumed;
            written = 2 * step.written;
            ordered = usable / 2 - step.consumed;
        }
        if (!output.Write(reinterpret_cast<const unsigned char*>(result.data()), written)) {
            outcome.failure = StreamOutcome::Failure::Output;
            break;
        }
        if (error != ConvertError::None) {
            outcome.failure = StreamOutcome::Failure::Input;
            outcome.error = BadInput(error, block.offset() + usable);
            break;
        }
        if (block.atEnd())
            break;
        block.Advance(consumed);
        if (!block.Fill(input, outcome.error)) {
            outcome.failure = StreamOutcome::Failure::Input;
            break;
        }
    }
    outcome.decodedAny = state.decodedAny;
}

}  // namespace

StreamOutcome DecodeStream(ByteSource& input, EncodingChoice choice, DecodeMode mode, Kernel kernel, ByteSink& output,
                           std::size_t blockBytes)
{
    StreamOutcome outcome;
    Block block(blockBytes);
    // Enough bytes to see the byte order mark, which then stays in the text.
    while (block.count() < 3 && !block.atEnd()) {
        if (!block.Fill(input, outcome.error)) {
            outcome.failure = StreamOutcome::Failure::Input;
            return outcome;
        }
    }
    TextFormat format;
    if (!DetectFormat(block.bytes(), block.count(), choice, format, outcome.error)) {
        outcome.failure = StreamOutcome::Failure::Input;
        return outcome;
    }
    output.BeginText(format.encoding);
    if (FindFormatSyntax(mode) != nullptr)
        DecodeFormatBlocks(input, block, mode, kernel, format.encoding, output, outcome);
    else if (format.encoding == TextEncoding::Utf8)
        DecodeUtf8Blocks(input, block, mode, kernel, output, outcome);
    else
        DecodeUtf16Blocks(input, block, mode, kernel, format.encoding == TextEncoding::Utf16Be, output, outcome);
    return outcome;
}
