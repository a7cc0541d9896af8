// Random texts for the differential checks: short runs drawn from an
// alphabet that is rich in everything the field readers look at.
#ifndef TESTS_DECODER_RANDOM_TEXT_H
#define TESTS_DECODER_RANDOM_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

// Builds a text of `length` units from the bytes produced by `next`, which
// is called once per unit. No unit is zero.
template <typename NextByte>
std::u16string RandomEscapeText(std::size_t length, NextByte next)
{
    // clang-format off
    static const char16_t alphabet[] = {
        u'&', u'&', u'#', u'#', u'\\', u'\\', u'u', u'u', u'U', u'0', u'1', u'2', u'5', u'6', u'9',
        u'a', u'e', u'f', u'F', u'g', u'G', u'x', u'X', u'-', u'+', u';', u';', u' ', u'\t', u'\r',
        u'\n', 0x00A0, 0x0085, 0x3000, 0x2003, 0xFF10, 0xFF11, 0xD83D, 0xDE00, 0xFFFF, u'z', u'.',
    };
    // clang-format on
    static const char16_t* const pieces[] = {u"&#", u"\\u", u"&#65;", u"\\u0041", u"&#26085;", u"\\u65e5", u"0x"};
    std::u16string text;
    while (text.size() < length) {
        const unsigned pick = next();
        if (pick < 40) {
            text += pieces[pick % (sizeof pieces / sizeof pieces[0])];
        } else {
            text += alphabet[pick % (sizeof alphabet / sizeof alphabet[0])];
        }
    }
    text.resize(length);
    return text;
}

#endif
