// The html and json modes: the rules over code points, then the readers as
// the stream decodes them, with every kernel, in UTF-8 and UTF-16 of both
// byte orders, whole and cut into blocks anywhere.
#include "format_escapes.h"
#include "html_references.h"
#include "stream_decoding.h"
#include "utf8.h"
#include "whole_text_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(HtmlReferences, NamedLongestMatch)
{
    const struct {
        const char* name;  // of the row
        const char* text;  // after "&", ";" included where it follows the run
        std::size_t matched;
        std::uint32_t first;
        std::uint32_t second;
        // clang-format off
    } rows[] = {
        {"a name with its semicolon", "amp;", 4, '&', 0},
        {"a legacy name without it", "amp", 3, '&', 0},
        {"a legacy name inside a longer run", "notit;", 3, 0xAC, 0},
        {"the longer name wins over the legacy one", "notin;", 6, 0x2209, 0},
        {"the longest legacy prefix", "eacutex", 6, 0xE9, 0},
        {"names are case-sensitive", "AMP;", 4, '&', 0},
        {"no legacy form without the semicolon", "hellip", 0, 0, 0},
        {"a name with two characters", "nGt;", 4, 0x226B, 0x20D2},
        {"a character beyond the BMP", "Afr;", 4, 0x1D504, 0},
        {"the longest name", "CounterClockwiseContourIntegral;", 32, 0x2233, 0},
        {"the shortest names", "lt", 2, '<', 0},
        {"digits in a name", "frac12;", 7, 0xBD, 0},
        {"a legacy name with digits, without the semicolon", "frac34x", 6, 0xBE, 0},
        {"no name at all", "foo;", 0, 0, 0},
        {"one letter is no name", "a", 0, 0, 0},
        {"nothing before the semicolon", ";", 0, 0, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string run = row.text;
        const bool semicolon = !run.empty() && run.back() == ';';
        if (semicolon)
            run.pop_back();
        ReferenceCharacters characters;
        EXPECT_EQ(MatchNamedReference((run + ";").c_str(), run.size(), semicolon, characters), row.matched);
        if (row.matched != 0) {
            EXPECT_EQ(characters.first, row.first);
            EXPECT_EQ(characters.second, row.second);
        }
    }
}

TEST(HtmlReferences, NumericValues)
{
    const struct {
        const char* name;
        std::uint32_t value;
        std::uint32_t character;
        // clang-format off
    } rows[] = {
        {"0 is no character", 0, 0xFFFD},
        {"a control stays", 1, 1},
        {"carriage return stays", 0x0D, 0x0D},
        {"0x80 as windows-1252 reads it", 0x80, 0x20AC},
        {"0x81 has no windows-1252 character and stays", 0x81, 0x81},
        {"0x9F, the last of the table", 0x9F, 0x178},
        {"0xA0 is past the table", 0xA0, 0xA0},
        {"the first surrogate", 0xD800, 0xFFFD},
        {"the last surrogate", 0xDFFF, 0xFFFD},
        {"a noncharacter stays", 0xFFFE, 0xFFFE},
        {"the last character", 0x10FFFF, 0x10FFFF},
        {"beyond it", ReferenceValueCap, 0xFFFD},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NumericReferenceCharacter(row.value), row.character);
    }
}

// UTF-8 text as UTF-16 units, for the UTF-16 runs of the rows.
std::u16string Units(const std::string& utf8)
{
    std::u16string units(utf8.size(), u'\0');
    const ConvertStatus status = ConvertToUnits(TextEncoding::Utf8, reinterpret_cast<const unsigned char*>(utf8.data()),
                                                utf8.size(), true, &units[0]);
    units.resize(status.units);
    return units;
}

std::string Bytes(const std::u16string& units, bool bigEndian)
{
    std::string bytes;
    for (char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct StreamRun {
    std::string output;
    bool bad = false;
    bool decodedAny = false;
};

StreamRun Decode(const std::string& input, EncodingChoice choice, DecodeMode mode, Kernel kernel,
                 std::vector<std::size_t> chunks, std::size_t blockBytes)
{
    ChunkedSource source(input, std::move(chunks));
    StringSink sink;
    const StreamOutcome outcome = DecodeStream(source, choice, mode, kernel, sink, blockBytes);
    return {sink.text, outcome.failure == StreamOutcome::Failure::Input, outcome.decodedAny};
}

// `input` gives `output` with every kernel, in UTF-8 and in UTF-16 of both
// byte orders, read whole and in pieces of every size from 1 to 40 through
// blocks of 64 bytes.
void ExpectDecodes(DecodeMode mode, const std::string& input, const std::string& output)
{
    const struct {
        const char* name;
        EncodingChoice choice;
        std::string in;
        std::string out;
        // clang-format off
    } encodings[] = {
        {"UTF-8", EncodingChoice::Utf8, input, output},
        {"UTF-16LE", EncodingChoice::Utf16Le, Bytes(Units(input), false), Bytes(Units(output), false)},
        {"UTF-16BE", EncodingChoice::Utf16Be, Bytes(Units(input), true), Bytes(Units(output), true)},
    };
    // clang-format on
    for (Kernel kernel : RunnableKernels()) {
        for (const auto& encoding : encodings) {
            SCOPED_TRACE(std::string(KernelName(kernel)) + ", " + encoding.name);
            const StreamRun whole = Decode(encoding.in, encoding.choice, mode, kernel, {encoding.in.size() + 1}, 4096);
            EXPECT_EQ(whole.output, encoding.out);
            EXPECT_EQ(whole.decodedAny, input != output);
            for (std::size_t piece = 1; piece <= 40; ++piece) {
                const StreamRun cut = Decode(encoding.in, encoding.choice, mode, kernel, {piece}, 64);
                ASSERT_EQ(cut.output, encoding.out) << "pieces of " << piece;
                ASSERT_EQ(cut.decodedAny, whole.decodedAny) << "pieces of " << piece;
            }
        }
    }
}

std::string Times(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

struct FormatRow {
    const char* name;
    std::string input;
    std::string output;
};

TEST(FormatStream, Html)
{
    // clang-format off
    const FormatRow rows[] = {
        {"every kind of reference", "&#128512; &eacute;&amp;&#x41; &notit;", "\xF0\x9F\x98\x80 \xC3\xA9&A \xC2\xACit;"},
        {"decimal and hexadecimal, either x", "&#65;&#x42;&#X43;&#x4a;", "ABCJ"},
        {"no semicolon needed after digits", "&#65x&#x42g", "AxBg"},
        {"leading zeros of any number", "&#" + std::string(300, '0') + "65;", "A"},
        {"a huge number", "&#" + std::string(300, '9') + ";x", "\xEF\xBF\xBDx"},
        {"0 and a surrogate", "&#0;&#xD800;", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"above U+10FFFF", "&#x110000;&#1114111;", "\xEF\xBF\xBD\xF4\x8F\xBF\xBF"},
        {"0x80 to 0x9F by windows-1252", "&#128;&#x81;&#150;", "\xE2\x82\xAC\xC2\x81\xE2\x80\x93"},
        {"a control and a noncharacter stay characters", "&#1;&#xFFFF;", "\x01\xEF\xBF\xBF"},
        {"a prefix without digits stays", "&#;&#x;&#xg;&# &", "&#;&#x;&#xg;&# &"},
        {"no name stays, its letters too", "&foo; &ampx &;", "&foo; &x &;"},
        {"an & before a reference", "&&lt;&&", "&<&&"},
        {"two characters grow the text", "&nGt;&nLt;", "\xE2\x89\xAB\xE2\x83\x92\xE2\x89\xAA\xE2\x83\x92"},
        {"the longest name", "&CounterClockwiseContourIntegral;.", "\xE2\x88\xB3."},
        {"a run longer than any name", "&CounterClockwiseContourIntegralX;", "&CounterClockwiseContourIntegralX;"},
        {"a legacy name at the end", "x&copy", "x\xC2\xA9"},
        {"a name in non-ASCII text", "\xE6\x97\xA5&lt\xE6\x97\xA5", "\xE6\x97\xA5<\xE6\x97\xA5"},
        {"the characters beside letters and digits end a name", "&amp/&amp:&amp@&amp[&amp`&amp{&amp\x7F&lt;0",
         "&/&:&@&[&`&{&\x7F<0"},
        {"a name before a character whose low bits are a letter", "&amp\xC3\xA9&lt\xC3\x81", "&\xC3\xA9<\xC3\x81"},
        {"names of seven and eight letters", "&epsilon;&thetasym;&epsilon", "\xCE\xB5\xCF\x91&epsilon"},
        {"NUL is an ordinary character", "&#65\0&amp\0"s, "A\0&\0"s},
        {"references in a long text", std::string(200, 'a') + "&hellip;" + std::string(61, 'b') + "&#x1F600;",
         std::string(200, 'a') + "\xE2\x80\xA6" + std::string(61, 'b') + "\xF0\x9F\x98\x80"},
    };
    // clang-format on
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectDecodes(DecodeMode::Html, row.input, row.output);
    }
}

TEST(FormatStream, Json)
{
    // clang-format off
    const FormatRow rows[] = {
        {"the usual document", "{\"a\":\"\\u65e5\\ud83d\\ude00\\\\u0041\\u0022\"}",
         "{\"a\":\"\xE6\x97\xA5\xF0\x9F\x98\x80\\\\u0041\\u0022\"}"},
        {"an escaped backslash before an escape", "\\\\\\u0041", "\\\\A"},
        {"quote, backslash and controls stay", "\\u0022\\u005c\\u0000\\u001F\\u0020", "\\u0022\\u005c\\u0000\\u001F "},
        {"an apostrophe stays, for a single-quoted literal", "'it\\u0027s' \\u0026\\u0028", "'it\\u0027s' &("},
        {"line and paragraph separators stay", "\\u2028\\u2029\\u2027", "\\u2028\\u2029\xE2\x80\xA7"},
        {"DEL and C1 controls may stand unescaped", "\\u007F\\u0085", "\x7F\xC2\x85"},
        {"a lone high surrogate stays", "\\uD83D.\\uD83Dx", "\\uD83D.\\uD83Dx"},
        {"a lone low surrogate stays", "\\uDE00\\uDE00", "\\uDE00\\uDE00"},
        {"a high surrogate before a pair", "\\uD83D\\uD83D\\uDE00", "\\uD83D\xF0\x9F\x98\x80"},
        {"a high surrogate before another escape", "\\uD83D\\u0041", "\\uD83DA"},
        {"short or bad digits stay", "\\u12\\u12g4\\u", "\\u12\\u12g4\\u"},
        {"other escapes stay as pairs", "\\n\\\"\\/\\t\\b", "\\n\\\"\\/\\t\\b"},
        {"upper and lower case digits", "\\u00E9\\u00e9", "\xC3\xA9\xC3\xA9"},
        {"escapes back to back", "\\u65e5\\u672c\\u8a9e\\u65e5\\u672c\\u8a9e\\u65e5\\u672c\\u8a9e",
         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"a pair in a long text", std::string(57, ' ') + "\\uD83D\\uDE00" + std::string(60, ' ') + "\\u00e9",
         std::string(57, ' ') + "\xF0\x9F\x98\x80" + std::string(60, ' ') + "\xC3\xA9"},
        {"a backslash before non-ASCII text", "\\\xE6\x97\xA5\\u0041", "\\\xE6\x97\xA5" "A"},
        {"runs decoded several at a time", Times("\\u65E5", 13), Times("\xE6\x97\xA5", 13)},
        {"a line separator inside a run", Times("\\u65e5", 5) + "\\u2028" + Times("\\u65e5", 6),
         Times("\xE6\x97\xA5", 5) + "\\u2028" + Times("\xE6\x97\xA5", 6)},
        {"a pair and a quote inside a run", Times("\\u65e5", 3) + "\\uD83D\\uDE00\\u0022" + Times("\\u65e5", 9),
         Times("\xE6\x97\xA5", 3) + "\xF0\x9F\x98\x80\\u0022" + Times("\xE6\x97\xA5", 9)},
        {"an escaped backslash before a run", "\\\\" + Times("u65e5\\", 9) + "u65e5",
         "\\\\u65e5" + Times("\xE6\x97\xA5", 9)},
    };
    // clang-format on
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectDecodes(DecodeMode::Json, row.input, row.output);
    }
}

// Random texts of references, partial ones and escapes, cut at every offset:
// the stream gives what the whole text in one block gives.
TEST(FormatStream, BlockBoundariesAtEveryOffset)
{
    // clang-format off
    static const char* const parts[] = {
        "&", "#", "x", ";", "0", "9", "a", "F", "&amp;", "&not", "&notin;", "&nGt;", "&#128;", "&#x1F600;", "&#0",
        "&CounterClockwiseContourIntegral;", "\\", "u", "\\u", "\\\\", "\\u0041", "\\uD83D", "\\uDE00", "\\u0022",
        "\\u2028", "\\u65e5\\u65e5\\u65e5\\u65e5", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", " ",
    };
    // clang-format on
    // One more part, past the end of the list, is a NUL.
    std::mt19937 random(19);
    for (int round = 0; round < 600; ++round) {
        const DecodeMode mode = round % 2 == 0 ? DecodeMode::Html : DecodeMode::Json;
        std::string input;
        for (std::size_t i = random() % 30; i > 0; --i) {
            const std::size_t part = random() % (std::size(parts) + 1);
            input += part == std::size(parts) ? "\0"s : std::string(parts[part]);
        }
        const std::string le = Bytes(Units(input), false);
        const std::string whole =
            Decode(input, EncodingChoice::Utf8, mode, Kernel::Portable, {input.size() + 1}, 4096).output;
        const std::string wholeLe = Bytes(Units(whole), false);
        for (Kernel kernel : RunnableKernels()) {
            for (std::size_t first = 1; first <= input.size(); ++first) {
                ASSERT_EQ(Decode(input, EncodingChoice::Utf8, mode, kernel, {first, 1}, 64).output, whole)
                    << KernelName(kernel) << ", first piece " << first << ": " << input;
            }
            for (std::size_t first = 2; first <= le.size(); first += 2) {
                ASSERT_EQ(Decode(le, EncodingChoice::Utf16Le, mode, kernel, {first, 2}, 64).output, wholeLe)
                    << KernelName(kernel) << ", first piece " << first << ": " << input;
            }
        }
    }
}

}  // namespace
