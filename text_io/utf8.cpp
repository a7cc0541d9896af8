#include "utf8.h"

#include <cstring>

namespace {

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

// Eight bytes at a time while they are all ASCII.
std::size_t SkipAscii(const unsigned char* bytes, std::size_t i, std::size_t count)
{
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            break;
    }
    while (i < count && bytes[i] < 0x80)
        ++i;
    return i;
}

}  // namespace

Utf8Check CheckUtf8(const unsigned char* bytes, std::size_t count, bool atEnd)
{
    Utf8Check check;
    std::size_t i = 0;
    for (;;) {
        i = SkipAscii(bytes, i, count);
        if (i == count)
            break;
        const Utf8Lead lead = ClassifyLead(bytes[i]);
        const std::size_t available = count - i - 1;
        const std::size_t valid = lead.length == 0 ? 0 : ValidContinuations(bytes + i, available, lead);
        if (lead.length != 0 && valid + 1 == lead.length) {
            i += lead.length;
            continue;
        }
        // Cut short by the end of the bytes, or ill-formed.
        if (lead.length != 0 && valid == available)
            check.error = atEnd ? ConvertError::TruncatedUtf8 : ConvertError::None;
        else
            check.error = ConvertError::InvalidUtf8;
        break;
    }
    check.valid = i;
    return check;
}

char16_t* DecodeUtf8Sequence(const unsigned char* p, std::size_t length, char16_t* out)
{
    switch (length) {
    case 1:
        *out++ = p[0];
        return out;
    case 2:
        *out++ = static_cast<char16_t>(((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu));
        return out;
    case 3:
        *out++ = static_cast<char16_t>(((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
        return out;
    default: {
        const std::uint32_t code =
            ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        *out++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        return out;
    }
    }
}

std::size_t PutUtf8(std::uint32_t code, unsigned char* out)
{
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
