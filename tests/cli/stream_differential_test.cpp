// The streaming decoder against the whole-text model: on random texts in
// UTF-8 and UTF-16, cut into blocks at every offset, and on texts made to
// defeat the carry-over at block boundaries, every output byte, the lone
// surrogate count and its offset must agree.
#include "stream_decoding.h"
#include "whole_text_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::string Hex(const std::string& bytes)
{
    std::string out;
    char hex[4];
    for (unsigned char byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02X ", byte);
        out += hex;
    }
    return out;
}

void ExpectOutcome(const StreamOutcome& outcome, const std::string& output, const WholeTextResult& expected,
                   const std::string& context)
{
    ASSERT_EQ(Hex(output), Hex(expected.output)) << context;
    ASSERT_EQ(outcome.failure == StreamOutcome::Failure::Input, expected.bad) << context;
    ASSERT_EQ(outcome.surrogates.count, expected.surrogates.count) << context;
    ASSERT_EQ(outcome.surrogates.firstOffset, expected.surrogates.firstOffset) << context;
    if (!expected.bad) {
        ASSERT_EQ(outcome.decodedAny, expected.decodedAny) << context;
    }
}

// Streams `input` in pieces of `chunks` with every kernel that can run here
// and compares with the model.
void ExpectLikeWholeText(const std::string& input, EncodingChoice choice, std::int32_t mode,
                         const std::vector<std::size_t>& chunks, std::size_t blockBytes, const std::string& name)
{
    const WholeTextResult expected = DecodeWholeText(input, choice, mode);
    for (Kernel kernel : RunnableKernels()) {
        ChunkedSource source(input, chunks);
        StringSink sink;
        const StreamOutcome outcome =
            DecodeStream(source, choice, static_cast<DecodeMode>(mode), kernel, sink, blockBytes);
        const std::string context = name + ", kernel " + KernelName(kernel) + ", mode " + std::to_string(mode) +
                                    ", first piece " + std::to_string(chunks[0]) + ", input " + Hex(input);
        ExpectOutcome(outcome, sink.text, expected, context);
    }
}

// Text made of what the field readers look at, in short runs: escapes of
// both kinds, those that name surrogates, signs, white space (U+3000 and
// U+2003 among it), digits inside and outside ASCII, characters of 2, 3 and
// 4 bytes, and NULs.
std::u16string RandomText(std::size_t pieces, std::mt19937& random)
{
    // clang-format off
    static const char16_t* const parts[] = {
        u"&#", u"\\u", u"&#65;", u"\\u0041", u"&#26085;", u"\\u65e5", u"&#55357;", u"&#56832;", u"\\uD83D",
        u"\\uDE00", u"&#-1;", u"\\u-41", u"0x", u"&", u"#", u"\\", u"u", u"U", u";", u"0", u"1", u"5", u"9", u"a",
        u"F", u"g", u"x", u"-", u"+", u" ", u"\t", u"\r\n", u"\u3000", u"\u2003", u"\u00A0", u"\u0085", u"\uFF11",
        u"\u00E9", u"\u65E5", u"\U0001F600", u"\uFFFF", u"z", u".",
    };
    // clang-format on
    std::uniform_int_distribution<std::size_t> pick(0, std::size(parts));
    std::u16string text;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t part = pick(random);
        if (part == std::size(parts))
            text.push_back(0);
        else
            text += parts[part];
    }
    return text;
}

std::string ToBytes(const std::u16string& units, TextEncoding encoding)
{
    TextFormat format;
    format.encoding = encoding;
    StringSink sink;
    SurrogateReport report;
    WriteUnits(units.data(), units.size(), format, sink, report);
    return sink.text;
}

struct EncodingCase {
    const char* name;
    TextEncoding encoding;
    EncodingChoice choice;
    std::string mark;
};

// clang-format off
const EncodingCase Encodings[] = {
    {"UTF-8", TextEncoding::Utf8, EncodingChoice::Auto, ""},
    {"UTF-8 with its mark", TextEncoding::Utf8, EncodingChoice::Auto, "\xEF\xBB\xBF"},
    {"UTF-16LE with its mark", TextEncoding::Utf16Le, EncodingChoice::Auto, "\xFF\xFE"},
    {"UTF-16BE named", TextEncoding::Utf16Be, EncodingChoice::Utf16Be, ""},
};
// clang-format on

TEST(StreamDifferential, BlockBoundariesAtEveryOffset)
{
    std::mt19937 random(20260611);
    std::uniform_int_distribution<std::size_t> pieces(0, 24);
    for (const EncodingCase& encoding : Encodings) {
        for (int round = 0; round < 1500; ++round) {
            const std::int32_t mode = round & 1;
            const std::string input = encoding.mark + ToBytes(RandomText(pieces(random), random), encoding.encoding);
            for (std::size_t first = 1; first <= input.size(); ++first)
                ExpectLikeWholeText(input, encoding.choice, mode, {first, input.size()}, 4096, encoding.name);
            ExpectLikeWholeText(input, encoding.choice, mode, {1}, 4096, encoding.name);
        }
    }
}

// Long texts through small blocks, in pieces of every size: many blocks, each
// ending wherever it may.
TEST(StreamDifferential, ManyBlocks)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> chunk(1, 300);
    for (const EncodingCase& encoding : Encodings) {
        for (int round = 0; round < 60; ++round) {
            const std::int32_t mode = round & 1;
            const std::string input = encoding.mark + ToBytes(RandomText(2000, random), encoding.encoding);
            ExpectLikeWholeText(input, encoding.choice, mode, {chunk(random), chunk(random), chunk(random)}, 64,
                                encoding.name);
        }
    }
}

// Runs of plain escapes back to back, which are decoded several at a time,
// now and then with an escape of another value or shape among them, or one
// byte changed, so that a run can end or fail at any place in a group.
std::string RandomEscapeRun(std::int32_t mode, std::size_t count, std::mt19937& random)
{
    // clang-format off
    static const char* const odd[2][9] = {
        {"&#00065;", "&#65536;", "&#55357;", "&#56832;", "&#02047;", "&#02048;", "&#65535;", "&#6553;", "&#00000;"},
        {"\\u0041", "\\uD83D", "\\uDE00", "\\u07ff", "\\u0800", "\\uFFFF", "\\u0000", "\\u0x41", "\\u12\xE3\x80\x80"},
    };
    // clang-format on
    static const char changes[] = {'&', '#', '\\', 'u', ';', '0', '9', 'a', 'F', 'G', ' ', '\0'};
    std::uniform_int_distribution<unsigned> ideograph(0x4E00, 0x9FA5);
    std::string text;
    char escape[16];
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned pick = random() % 64;
        if (pick < 4) {
            text += odd[mode][random() % 9];
            continue;
        }
        std::snprintf(escape, sizeof escape, mode == 0 ? "&#%05u;" : "\\u%04x", ideograph(random));
        text += escape;
        if (pick == 4)
            text[text.size() - 1 - random() % 5] = changes[random() % sizeof changes];
    }
    return text;
}

TEST(StreamDifferential, EscapeRuns)
{
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        const std::int32_t mode = round & 1;
        const std::string input = RandomEscapeRun(mode, 1 + random() % 40, random);
        const std::size_t piece = 1 + random() % input.size();
        ExpectLikeWholeText(input, EncodingChoice::Auto, mode, {piece, input.size()}, 64, "escape run");
        ExpectLikeWholeText(input, EncodingChoice::Auto, mode, {input.size()}, 4096, "escape run");
    }
}

// Texts where no place near the end of a block lets it be cut by looking
// at its last units alone, and bad bytes at every place of an escape.
TEST(StreamDifferential, HostileTexts)
{
    auto repeat = [](const std::string& piece, std::size_t times) {
        std::string text;
        for (std::size_t i = 0; i < times; ++i)
            text += piece;
        return text;
    };
    const struct {
        const char* name;
        std::string text;
        // clang-format off
    } rows[] = {
        {"prefixes only, mode 0", repeat("&#", 3000)},
        {"prefixes only, mode 1", repeat("\\u", 3000)},
        {"first units only", repeat("&", 5000) + repeat("\\", 5000)},
        {"fields that swallow the next prefix", repeat("&#1&#", 1500) + repeat("\\u1\\u", 1500)},
        {"short references back to back", repeat("&#65;", 3000)},
        {"semicolons and prefixes", repeat("&#;", 2000) + repeat(";&#", 2000)},
        {"surrogate references back to back", repeat("&#55357;&#56832;", 700) + repeat("&#55357;", 700)},
        {"surrogate names back to back", repeat("\\uD83D\\uDE00", 700) + repeat("\\uDBFF", 700)},
        {"fields split by 4-byte characters", repeat("\\u12\xF0\x9F\x98\x80\\u1\xF0\x9F\x98\x80", 500)},
        {"white space of 3 bytes in fields", repeat("&#\xE3\x80\x80" "65;\\u\xE3\x80\x80" "41", 500)},
        {"NULs in fields", repeat("&#6\0" "5;\\u4\0" "1"s, 700)},
        {"bad byte inside a field", "&#65" "\xFF" ";"},
        {"bad byte after a high surrogate", "&#55357;\xC0"},
        {"cut character after a prefix", "&#\xE6\x97"},
    };
    // clang-format on
    for (const auto& row : rows) {
        for (std::int32_t mode = 0; mode < 2; ++mode) {
            for (std::size_t chunk : {1u, 2u, 3u, 5u, 7u, 13u, 64u, 1000u})
                ExpectLikeWholeText(row.text, EncodingChoice::Auto, mode, {chunk}, 64, row.name);
            const std::u16string wide(row.text.begin(), row.text.end());  // the bytes as units
            const std::string utf16 = "\xFF\xFE" + ToBytes(wide, TextEncoding::Utf16Le);
            for (std::size_t chunk : {1u, 3u, 64u, 1000u})
                ExpectLikeWholeText(utf16, EncodingChoice::Auto, mode, {chunk}, 64, row.name + " in UTF-16"s);
        }
    }
}

}  // namespace
