#include "text_encoding.h"

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

// Bytes that a lead byte announces (0: not a lead byte), and the range of the
// byte after it, which excludes overlong forms, surrogates and values above
// U+10FFFF.
struct Utf8Lead {
    std::size_t length;
    unsigned char secondMin;
    unsigned char secondMax;
};

Utf8Lead ClassifyLead(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// How many of the `available` bytes after a lead byte are valid continuations.
std::size_t ValidContinuations(const unsigned char* p, std::size_t available, const Utf8Lead& lead)
{
    std::size_t valid = 0;
    for (; valid + 1 < lead.length && valid < available; ++valid) {
        const unsigned char byte = p[1 + valid];
        const bool ok = valid == 0 ? byte >= lead.secondMin && byte <= lead.secondMax : byte >= 0x80 && byte <= 0xBF;
        if (!ok)
            break;
    }
    return valid;
}

// Writes the units of one well-formed sequence and returns past them.
char16_t* PutSequence(const unsigned char* p, std::size_t length, char16_t* out)
{
    if (length == 2) {
        *out++ = static_cast<char16_t>(((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu));
        return out;
    }
    if (length == 3) {
        *out++ = static_cast<char16_t>(((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
        return out;
    }
    const std::uint32_t code =
        ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    *out++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    return out;
}

ConvertStatus ConvertUtf8(const unsigned char* bytes, std::size_t count, bool atEnd, char16_t* const out)
{
    ConvertStatus status;
    char16_t* next = out;
    std::size_t i = 0;
    while (i < count) {
        if (bytes[i] < 0x80) {
            *next++ = bytes[i++];
            continue;
        }
        const Utf8Lead lead = ClassifyLead(bytes[i]);
        const std::size_t available = count - i - 1;
        const std::size_t valid = lead.length == 0 ? 0 : ValidContinuations(bytes + i, available, lead);
        if (lead.length != 0 && valid + 1 == lead.length) {
            next = PutSequence(bytes + i, lead.length, next);
            i += lead.length;
            continue;
        }
        // Cut short by the end of the bytes, or ill-formed.
        if (lead.length != 0 && valid == available) {
            if (!atEnd)
                break;
            status.error = ConvertError::TruncatedUtf8;
        } else {
            status.error = ConvertError::InvalidUtf8;
        }
        status.errorIndex = i;
        break;
    }
    status.consumed = i;
    status.units = static_cast<std::size_t>(next - out);
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
        error = std::string("the byte order mark at byte offset 0 is ") + EncodingName(bomEncoding) +
                ", not the " + EncodingName(format.encoding) + " that --encoding names";
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
    explicit BlockWriter(ByteSink& sink) : sink_(sink) {}

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

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Encodes one character (a pair when `pair`) or U+FFFD for a lone surrogate.
std::size_t EncodeUtf8(const char16_t* unit, bool pair, unsigned char* out)
{
    std::uint32_t code = *unit;
    if (pair)
        code = 0x10000 + ((code - 0xD800) << 10) + (unit[1] - 0xDC00u);
    else if (IsHighSurrogate(*unit) || IsLowSurrogate(*unit))
        code = 0xFFFD;
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
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
