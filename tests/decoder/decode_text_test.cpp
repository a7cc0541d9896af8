// Decoding tables: each row is a text before and after DecodeText.
#include "decoder/escape_decoder.h"
#include "decoder/white_space.h"
#include "reference_model.h"
#include "same_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

struct DecodeRow {
    std::int32_t mode;
    std::u16string before;
    const char16_t* after;  // null: the text stays as it was
    const char* why;
};

std::u16string Decoded(std::u16string text, std::int32_t mode, Kernel kernel)
{
    text.push_back(0);
    DecodeText(&text[0], static_cast<DecodeMode>(mode), kernel);
    return std::u16string(text.c_str());
}

template <std::size_t Count>
void CheckRows(const DecodeRow (&rows)[Count])
{
    for (Kernel kernel : RunnableKernels()) {
        SCOPED_TRACE(KernelName(kernel));
        for (const DecodeRow& row : rows) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << row.mode << ", " << testing::PrintToString(row.before) << ": " << row.why);
            const std::u16string expected = row.after ? std::u16string(row.after) : row.before;
            EXPECT_EQ(expected, Decoded(row.before, row.mode, kernel));
        }
    }
}

// clang-format off
const DecodeRow CharRefRows[] = {
    {0, u"&#65;", u"A", "a plain reference"},
    {0, u"x&#26085;y", u"x\u65E5y", "the text on both sides of the escape stays"},
    {0, u"&#72;&#105;", u"Hi", "references next to each other"},
    {0, u"&#00065;", u"A", "leading zeros; 5 units fill the field"},
    {0, u"&#000065;", nullptr, "the sixth unit stands where ';' must be"},
    {0, u"&#0;", nullptr, "value 0"},
    {0, u"&#65536;", nullptr, "low 16 bits are 0"},
    {0, u"&#65601;", u"A", "wraps modulo 65536"},
    {0, u"&#99999;", u"\u869F", "the largest field value, wrapped"},
    {0, u"&#-1;", u"\xFFFF", "negative sign"},
    {0, u"&#-65;", u"\xFFBF", "negative sign"},
    {0, u"&#+65;", u"A", "positive sign"},
    {0, u"&# 65;", u"A", "leading white space"},
    {0, u"&#   65;", u"A", "three spaces and two digits fill the field"},
    {0, u"&#    65;", nullptr, "four spaces and '6' fill the field"},
    {0, u"&#\r\n65;", u"A", "a line break counts as white space"},
    {0, u"&#\u00A065;", nullptr, "U+00A0 is not white space"},
    {0, u"&# -1;", u"\xFFFF", "white space, then the sign"},
    {0, u"&#- 1;", nullptr, "no white space after the sign"},
    {0, u"&#x41;", nullptr, "no hexadecimal form in mode 0"},
    {0, u"&#65a;", u"A", "the rest of the field after the number is dropped"},
    {0, u"&#6x5;", u"\x0006", "the number ends at 'x'"},
    {0, u"&#65 ;", u"A", "a space before ';' is part of the field"},
    {0, u"&#65", nullptr, "the field runs into the end of the text"},
    {0, u"abc&#", nullptr, "the prefix ends the text"},
    {0, u"&#65;&#", u"A&#", "the last prefix ends the text"},
    {0, u"&#abc;&#66;", u"&#abc;B", "a failed field closed by ';' leaves the next reference alone"},
    {0, u"&#65&#66;", nullptr, "the field swallows the next reference"},
    {0, u"&#6&#66;", u"\x0006", "the field '6&#66' is closed by ';'"},
    {0, u"&#;65;", nullptr, "the first unit is taken untested"},
    {0, u"&#;&#66;", nullptr, "the second reference is swallowed"},
    {0, u"&#&#65;", nullptr, "the field '&#65' has no digit"},
    {0, u"&#38;#65;", u"&#65;", "the written '&' is not read again"},
    {0, u"&&#35;65;", u"&#65;", "the written '#' does not join the '&' before it"},
    {0, u"&#38;&#38;", u"&&", "two references that decode to '&'"},
    {0, u"&#55357;&#56832;", u"\xD83D\xDE00", "one unit each"},
    {0, u"&#65;;", u"A;", "only one ';' belongs to the reference"},
    {0, u"&#65;\\u0042", u"A\\u0042", "escapes of the other mode stay"},
    // Beyond the basic table.
    {0, u"", nullptr, "an empty text"},
    {0, u"plain text & more # ;", nullptr, "no prefix"},
    {0, u"&", nullptr, "a lone first unit of the prefix"},
    {0, u"&&&#65;", u"&&A", "the prefix after repeated first units"},
    {0, u"&#65;x&#66;y&#67;", u"AxByC", "text between references is moved down"},
    {0, u"&#-0;", nullptr, "minus zero converts nothing"},
    {0, u"&#-;", nullptr, "a sign with no digit"},
    {0, u"&#\xFF11;", nullptr, "a fullwidth digit is no digit"},
    {0, u"&#\u300065;", u"A", "U+3000 is white space"},
    {0, u"&#\u0085" u"65;", nullptr, "U+0085 is not white space"},
    {0, u"&#\xFFFF" u"65;", nullptr, "U+FFFF is not white space"},
    {0, u"&#13;&#10;", u"\r\n", "control units are written"},
    {0, u"&#65537;", u"\x0001", "just above 65536"},
    {0, u"&#6553;", u"\x1999", "four digits"},
    {0, u"&#1;", u"\x0001", "the smallest unit"},
    {0, u"&#65;", u"A", "again, to see no state is kept"},
};
// clang-format on

// clang-format off
const DecodeRow UcnRows[] = {
    {1, u"\\u0041", u"A", "a plain universal character name"},
    {1, u"\\u65e5\\u672c", u"\u65E5\u672C", "lower-case digits; names next to each other"},
    {1, u"\\uFFFF", u"\xFFFF", "the largest value"},
    {1, u"\\u0000", nullptr, "value 0"},
    {1, u"\\u41", u"A", "a short field at the end of the text"},
    {1, u"\\u4", u"\x0004", "a one-unit field at the end of the text"},
    {1, u"\\u00411", u"A1", "the field is 4 units long"},
    {1, u"\\u41\\u42", u"A42", "the field swallows the next prefix"},
    {1, u"\\u41 and more", u"And more", "the field takes the space and the next letter"},
    {1, u"\\u0041\\u0042", u"AB", "names next to each other"},
    {1, u"\\u004G", u"\x0004", "'G' ends the number"},
    {1, u"\\u00G1", nullptr, "digits '00' read, value 0"},
    {1, u"\\u0x41", u"A", "'0x' is skipped"},
    {1, u"\\u0X7a", u"z", "'0X' is skipped"},
    {1, u"\\u0x", nullptr, "no digit after '0x'"},
    {1, u"\\u0x1G", u"\x0001", "one digit after '0x'"},
    {1, u"\\u+041", u"A", "positive sign"},
    {1, u"\\u-001", u"\xFFFF", "negative sign"},
    {1, u"\\u-041", u"\xFFBF", "negative sign"},
    {1, u"\\u 41 ", u"A", "leading white space; the trailing space is part of the field"},
    {1, u"\\u\t\t41", u"A", "tabs are white space"},
    {1, u"\\U0041", nullptr, "the prefix needs a lower-case u"},
    {1, u"\\u005cu0041", u"\\u0041", "the written backslash is not read again"},
    {1, u"\\\\u0075", u"\\u", "the written 'u' is not read again"},
    {1, u"\\uXYZ\\u0041", nullptr, "the field 'XYZ\\' has no digit"},
    {1, u"\\u\\u0041", nullptr, "the field '\\u00' has no digit"},
    {1, u"a\\u", nullptr, "the prefix ends the text"},
    {1, u"\\uD83D\\uDE00", u"\xD83D\xDE00", "one unit each"},
    {1, u"\\u0041;", u"A;", "no ';' belongs to a universal character name"},
    {1, u"&#65;\\u0042", u"&#65;B", "escapes of the other mode stay"},
    // Beyond the basic table.
    {1, u"\\", nullptr, "a lone backslash"},
    {1, u"\\u-", nullptr, "a sign alone"},
    {1, u"\\u-0", nullptr, "minus zero converts nothing"},
    {1, u"\\u\xFF11\xFF12\xFF13\xFF14", nullptr, "fullwidth digits are no digits"},
    {1, u"\\u\u2003" u"41", u"A", "an em space is white space"},
    {1, u"\\u\u00A0" u"41", nullptr, "U+00A0 is not white space"},
    {1, u"\\u0x0G", nullptr, "a zero after '0x'"},
    {1, u"\\u12345678", u"\u12345678", "only four units belong to the field"},
    {1, u"x\\u0041y\\u0042z", u"xAyBz", "text between names is moved down"},
    {1, u"\\u0041\\", u"A\\", "a lone backslash after a name"},
};
// clang-format on

TEST(DecodeText, CharacterReferences)
{
    CheckRows(CharRefRows);
}

TEST(DecodeText, UniversalCharacterNames)
{
    CheckRows(UcnRows);
}

TEST(DecodeText, OtherModesLeaveTheTextAlone)
{
    static const std::int32_t modes[] = {2, -1, 7, 0x7FFFFFFF};
    for (Kernel kernel : RunnableKernels()) {
        SCOPED_TRACE(KernelName(kernel));
        for (std::int32_t mode : modes) {
            SCOPED_TRACE(testing::Message() << "mode " << mode);
            EXPECT_EQ(u"&#65;\\u0041", Decoded(u"&#65;\\u0041", mode, kernel));
        }
    }
    // The overload that picks the kernel itself.
    for (std::int32_t mode : modes) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        std::u16string text = u"&#65;\\u0041";
        DecodeText(&text[0], static_cast<DecodeMode>(mode));
        EXPECT_EQ(u"&#65;\\u0041", text);
    }
}

TEST(DecodeText, NeverWritesPastTheTerminator)
{
    // The units after the terminator belong to the caller and stay as they are.
    for (Kernel kernel : RunnableKernels()) {
        SCOPED_TRACE(KernelName(kernel));
        std::u16string buffer = u"&#65;&#66;";
        buffer.push_back(0);
        buffer += u"&#67;\xFFFF";
        DecodeText(&buffer[0], static_cast<DecodeMode>(0), kernel);
        EXPECT_EQ(u"AB", std::u16string(buffer.c_str()));
        EXPECT_EQ(u"&#67;\xFFFF", buffer.substr(11));
    }
}

TEST(DecodeText, LongTextCrossesAlignedBlocks)
{
    // The escape sits at every offset of a 16-byte block in turn.
    for (Kernel kernel : RunnableKernels()) {
        SCOPED_TRACE(KernelName(kernel));
        for (std::size_t pad = 0; pad < 40; ++pad) {
            SCOPED_TRACE(testing::Message() << "pad " << pad);
            std::u16string text(pad, u'.');
            text += u"&#26085;";
            text += std::u16string(pad, u'-');
            std::u16string expected(pad, u'.');
            expected += u'\u65E5';
            expected += std::u16string(pad, u'-');
            EXPECT_EQ(expected, Decoded(text, 0, kernel));
        }
    }
}

struct ConvertRow {
    const char16_t* field;
    int base;
    std::uint32_t value;
};

TEST(ConvertField, FollowsTheUnsignedConversionRules)
{
    // clang-format off
    static const ConvertRow rows[] = {
        {u"", 10, 0},         {u"99999", 10, 99999},   {u"-1", 10, 0xFFFFFFFFu},
        {u"-9999", 10, 0xFFFFD8F1u}, {u"+7", 10, 7},   {u" \t12", 10, 12},
        {u"12ab", 10, 12},    {u"ab", 10, 0},          {u"ffff", 16, 0xFFFF},
        {u"0x10", 16, 16},    {u"0X1f", 16, 31},       {u"0x", 16, 0},
        {u"0x", 10, 0},       {u"-0xF", 16, 0xFFFFFFF1u}, {u"z", 16, 0},
        {u"\u3000" u"5", 10, 5}, {u"\xA0" u"5", 10, 0}, {u"- 5", 10, 0},
        {u"--5", 10, 0},      {u"+-5", 10, 0},         {u"1 2", 10, 1},
    };
    // clang-format on
    for (const ConvertRow& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(row.field) << ", base " << row.base);
        EXPECT_EQ(row.value, ConvertField(row.field, row.base));
    }
}

struct ReaderRow {
    std::int32_t mode;
    const char16_t* after_prefix;
    std::uint32_t value;
    std::size_t taken;  // units the reader moves the cursor by
};

TEST(FieldReaders, TakeTheirUnitsAndNoMore)
{
    // clang-format off
    static const ReaderRow rows[] = {
        {0, u"", 0, 0},          {0, u"65;", 65, 3},     {0, u"65", 0, 2},
        {0, u"12345;", 12345, 6}, {0, u"123456", 0, 6},  {0, u"abc;x", 0, 4},
        {0, u";;", 0, 2},        {0, u";65;", 0, 4},     {0, u"6&#66;", 6, 6},
        {1, u"", 0, 0},          {1, u"4", 4, 1},        {1, u"0041x", 0x41, 4},
        {1, u"\\u00", 0, 4},     {1, u"65e5", 0x65E5, 4},
    };
    // clang-format on
    for (const ReaderRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << ", " << testing::PrintToString(row.after_prefix));
        const char16_t* cursor = row.after_prefix;
        const std::uint32_t value = row.mode == 0 ? ReadCharRefField(cursor) : ReadUcnField(cursor);
        EXPECT_EQ(row.value, value);
        EXPECT_EQ(row.taken, static_cast<std::size_t>(cursor - row.after_prefix)) << "units taken";
    }
}

#if !defined(_WIN32)
TEST(SpaceAboveLatin1, FollowsTheUnicodeWhiteSpaceUnits)
{
    static const char16_t spaces[] = {0x1680, 0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    static const char16_t others[] = {0x0100, 0x180E, 0x200B, 0x200C, 0x2027, 0x2060, 0x3001, 0xFEFF, 0xFF10, 0xFFFF};
    for (char16_t c : spaces)
        EXPECT_TRUE(IsSpaceAboveLatin1(c)) << testing::PrintToString(std::u16string(1, c));
    for (char16_t c : others)
        EXPECT_FALSE(IsSpaceAboveLatin1(c)) << testing::PrintToString(std::u16string(1, c));
}
#endif

#if defined(__unix__) || defined(__APPLE__)
// A text whose terminator is the last unit before a page that cannot be
// read: the decoder may read whole blocks past the terminator, but none in
// the next page, whatever the text's length and contents. The longer texts
// also start in the page before, so that the reading crosses into the last
// page at every offset.
TEST(DecodeText, StopsAtThePageThatFollowsTheText)
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* pages = mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, pages);
    char* const guard = static_cast<char*>(pages) + 2 * page;
    ASSERT_EQ(0, mprotect(guard, page, PROT_NONE));
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < 400; ++length)
        lengths.push_back(length);
    for (std::size_t length = page / 2 - 100; length < page / 2 + 100; ++length)
        lengths.push_back(length);
    // clang-format off
    static const char16_t* const pieces[2][3] = {
        {u"&#26085;", u"&#65;", u"text "},
        {u"\\u65e5", u"\\u41", u"text "},
    };
    // clang-format on
    for (std::int32_t mode = 0; mode < 2; ++mode) {
        for (std::size_t length : lengths) {
            for (int kind = 0; kind < 3; ++kind) {
                std::u16string text;
                while (text.size() < length)
                    text += pieces[mode][kind == 2 ? length % 3 : kind];
                text.resize(length);
                std::u16string expected = text;
                expected.push_back(0);
                DecodeTextModel(&expected[0], mode);
                char16_t* const start = reinterpret_cast<char16_t*>(guard) - (length + 1);
                for (Kernel kernel : RunnableKernels()) {
                    std::copy(text.begin(), text.end(), start);
                    start[length] = 0;
                    DecodeText(start, static_cast<DecodeMode>(mode), kernel);
                    ASSERT_TRUE(SameText(expected.c_str(), start))
                        << KernelName(kernel) << ", mode " << mode << ", length " << length << ", kind " << kind;
                }
            }
        }
    }
    munmap(pages, 3 * page);
}
#endif

}  // namespace
