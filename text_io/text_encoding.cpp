#include "text_encoding.h"

#include "utf8.h"

#include <cstring>

namespace {

const unsigned char Utf8Bom[] = {0xEF, 0xBB, 0xBF};
const unsigned char Utf16LeBom[] = {0xFF, 0xFE};
const unsigned char Utf16BeBom[] = {0xFE, 0xFF};

template <std::size_t N>
bool StartsWith(const unsigned char* bytes, std::size_t count, const unsigned char (&prefix)[N])
{
    return count >= N && std::memcmp(bytes, prefix, N) == 0;
}

const char* EncodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return "utf-8";
    case TextEncoding::Utf16Le:
        return "utf-16le";
    case TextEncoding::Utf16Be:
        return "utf-16be";
    }
    return "";
}

// The UTF-16 byte order mark that the bytes start with, if any.
bool FindUtf16Bom(const unsigned char* bytes, std::size_t count, TextEncoding& encoding)
{
    if (StartsWith(bytes, count, Utf16LeBom)) {
        encoding = TextEncoding::Utf16Le;
        return true;
    }
    if (StartsWith(bytes, count, Utf16BeBom)) {
        encoding = TextEncoding::Utf16Be;
        return true;
    }
    return false;
}

ConvertStatus ConvertUtf8(const unsigned char* bytes, std::size_t count, bool atEnd, char16_t* const out)
{
    const Utf8Check check = CheckUtf8(bytes, count, atEnd);
    char16_t* next = out;
    for (std::size_t i = 0; i < check.valid;) {
        const std::size_t length = Utf8SequenceLength(bytes[i]);
        next = DecodeUtf8Sequence(bytes + i, length, next);
        i += length;
    }
    ConvertStatus status;
    status.consumed = check.valid;
    status.units = static_cast<std::size_t>(next - out);
    status.error = check.error;
    status.errorIndex = check.valid;
    return status;
}

ConvertStatus ConvertUtf16(const unsigned char* bytes, std::size_t count, bool bigEndian, bool atEnd, char16_t* out)
{
    ConvertStatus status;
    const std::size_t units = count / 2;
    const int high = bigEndian ? 0 : 1;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned char* p = bytes + 2 * i;
        out[i] = static_cast<char16_t>((p[high] << 8) | p[1 - high]);
    }
    status.consumed = 2 * units;
    status.units = units;
    if (atEnd && count % 2 != 0) {
        status.error = ConvertError::OddUtf16;
        status.errorIndex = count - 1;
    }
    return status;
}

}  // namespace

bool DetectFormat(const unsigned char* bytes, std::size_t count, EncodingChoice choice, TextFormat& format,
                  std::string& error)
{
    TextEncoding bomEncoding = TextEncoding::Utf8;
    const bool utf16Bom = FindUtf16Bom(bytes, count, bomEncoding);
    const bool utf8Bom = StartsWith(bytes, count, Utf8Bom);
    switch (choice) {
    case EncodingChoice::Auto:
        format.encoding = utf16Bom ? bomEncoding : TextEncoding::Utf8;
        break;
    case EncodingChoice::Utf8:
        format.encoding = TextEncoding::Utf8;
        break;
    case EncodingChoice::Utf16Le:
        format.encoding = TextEncoding::Utf16Le;
        break;
    case EncodingChoice::Utf16Be:
        format.encoding = TextEncoding::Utf16Be;
        break;
    }
    if (utf16Bom && bomEncoding != format.encoding) {
        error = std::string("the byte order mark at byte offset 0 is ") + EncodingName(bomEncoding) + ", not the " +
                EncodingName(format.encoding) + " that --encoding names";
        return false;
    }
    if (utf16Bom)
        format.bomBytes = 2;
    else if (utf8Bom && format.encoding == TextEncoding::Utf8)
        format.bomBytes = 3;
    else
        format.bomBytes = 0;
    return true;
}

ConvertStatus ConvertToUnits(TextEncoding encoding, const unsigned char* bytes, std::size_t count, bool atEnd,
                             char16_t* out)
{
    if (encoding == TextEncoding::Utf8)
        return ConvertUtf8(bytes, count, atEnd, out);
    return ConvertUtf16(bytes, count, encoding == TextEncoding::Utf16Be, atEnd, out);
}

const char* DescribeConvertError(ConvertError error)
{
    switch (error) {
    case ConvertError::None:
        return "no error";
    case ConvertError::InvalidUtf8:
        return "invalid UTF-8";
    case ConvertError::TruncatedUtf8:
        return "incomplete UTF-8 sequence";
    case ConvertError::OddUtf16:
        return "odd number of bytes in UTF-16: half a code unit";
    }
    return "";
}

namespace {

// Collects output bytes and hands them to the sink in large blocks. Room(n)
// gives space for at least n bytes, Advance(n) keeps the n bytes written there.
class BlockWriter {
public:
    explicit BlockWriter(ByteSink& sink) : sink_(sink) { }

    unsigned char* Room(std::size_t needed)
    {
        if (used_ + needed > sizeof buffer_ && !Flush())
            return nullptr;
        return buffer_ + used_;
    }

    void Advance(std::size_t count)
    {
        used_ += count;
        written_ += count;
    }

    bool Put(const unsigned char* bytes, std::size_t count)
    {
        unsigned char* room = Room(count);
        if (room == nullptr)
            return false;
        std::memcpy(room, bytes, count);
        Advance(count);
        return true;
    }

    bool Flush()
    {
        const bool ok = used_ == 0 || sink_.Write(buffer_, used_);
        used_ = 0;
        return ok;
    }

    std::uint64_t written() const { return written_; }

private:
    ByteSink& sink_;
    unsigned char buffer_[1 << 16];
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
};

// Encodes one character (a pair when `pair`) or U+FFFD for a lone surrogate.
std::size_t EncodeUtf8(const char16_t* unit, bool pair, unsigned char* out)
{
    std::uint32_t code = *unit;
    if (pair)
        code = JoinSurrogates(unit[0], unit[1]);
    else if (IsHighSurrogate(*unit) || IsLowSurrogate(*unit))
        code = ReplacementCharacter;
    return PutUtf8(code, out);
}

const std::size_t UnitsPerBlock = 4096;

// Writes the units block by block; each unit takes at most 3 bytes, a pair 4.
bool WriteUtf8(const char16_t* units, std::size_t count, BlockWriter& writer, SurrogateReport& report)
{
    std::size_t i = 0;
    while (i < count) {
        unsigned char* const room = writer.Room(3 * UnitsPerBlock + 1);
        if (room == nullptr)
            return false;
        unsigned char* out = room;
        const std::size_t blockEnd = count - i < UnitsPerBlock ? count : i + UnitsPerBlock;
        for (; i < blockEnd; ++i) {
            const char16_t unit = units[i];
            if (unit < 0x80) {
                *out++ = static_cast<unsigned char>(unit);
                continue;
            }
            const bool pair = IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1]);
            if (!pair && (IsHighSurrogate(unit) || IsLowSurrogate(unit)) && report.count++ == 0)
                report.firstOffset = writer.written() + static_cast<std::uint64_t>(out - room);
            out += EncodeUtf8(units + i, pair, out);
            if (pair)
                ++i;
        }
        writer.Advance(static_cast<std::size_t>(out - room));
    }
    return true;
}

bool WriteUtf16(const char16_t* units, std::size_t count, bool bigEndian, BlockWriter& writer)
{
    std::size_t i = 0;
    while (i < count) {
        unsigned char* const room = writer.Room(2 * UnitsPerBlock);
        if (room == nullptr)
            return false;
        const std::size_t block = count - i < UnitsPerBlock ? count - i : UnitsPerBlock;
        for (std::size_t k = 0; k < block; ++k) {
            const unsigned char high = static_cast<unsigned char>(units[i + k] >> 8);
            const unsigned char low = static_cast<unsigned char>(units[i + k] & 0xFF);
            room[2 * k] = bigEndian ? high : low;
            room[2 * k + 1] = bigEndian ? low : high;
        }
        writer.Advance(2 * block);
        i += block;
    }
    return true;
}

}  // namespace

bool WriteUnits(const char16_t* units, std::size_t count, const TextFormat& format, ByteSink& sink,
                SurrogateReport& report)
{
    sink.BeginText(format.encoding);
    BlockWriter writer(sink);
    bool ok = true;
    switch (format.encoding) {
    case TextEncoding::Utf8:
        ok = (format.bomBytes == 0 || writer.Put(Utf8Bom, sizeof Utf8Bom)) && WriteUtf8(units, count, writer, report);
        break;
    case TextEncoding::Utf16Le:
        ok = (format.bomBytes == 0 || writer.Put(Utf16LeBom, sizeof Utf16LeBom)) &&
             WriteUtf16(units, count, false, writer);
        break;
    case TextEncoding::Utf16Be:
        ok = (format.bomBytes == 0 || writer.Put(Utf16BeBom, sizeof Utf16BeBom)) &&
             WriteUtf16(units, count, true, writer);
        break;
    }
    return ok && writer.Flush();
}

std::string DescribeLoneSurrogates(const SurrogateReport& report)
{
    return std::to_string(report.count) + (report.count == 1 ? " lone surrogate" : " lone surrogates") +
           " cannot be written in UTF-8 and became U+FFFD; the first is at byte offset " +
           std::to_string(report.firstOffset) + " of the output";
}
