// The decoder against the literal model on many random texts. Only the
// zero-terminated result counts: what lies between the new and the old
// terminator is left over and differs between the two.
#include "decoder/escape_decoder.h"
#include "random_text.h"
#include "reference_model.h"
#include "same_text.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Differential, DecoderMatchesTheLiteralModel)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 48);
    for (int round = 0; round < 200000; ++round) {
        const std::int32_t mode = round & 1;
        const std::u16string text = RandomEscapeText(length(random), [&] { return byte(random); });
        std::u16string expected = text;
        expected.push_back(0);
        DecodeTextModel(&expected[0], mode);
        for (Kernel kernel : RunnableKernels()) {
            std::u16string decoded = text;
            decoded.push_back(0);
            DecodeText(&decoded[0], static_cast<DecodeMode>(mode), kernel);
            ASSERT_EQ(expected.c_str(), std::u16string(decoded.c_str()))
                << KernelName(kernel) << ", round " << round << ", mode " << mode;
        }
    }
}

TEST(Differential, LongTextsMatchTheLiteralModel)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        const std::int32_t mode = round & 1;
        std::u16string text = RandomEscapeText(4000 + round, [&] { return byte(random); });
        text.push_back(0);
        std::u16string expected = text;
        DecodeTextModel(&expected[0], mode);
        for (Kernel kernel : RunnableKernels()) {
            std::u16string decoded = text;
            DecodeText(&decoded[0], static_cast<DecodeMode>(mode), kernel);
            ASSERT_TRUE(SameText(expected.c_str(), decoded.c_str()))
                << KernelName(kernel) << ", round " << round << ", mode " << mode;
        }
    }
}

// Runs of escapes back to back, mostly of the plain shapes that are decoded
// several at a time, now and then with another value or shape, or with one
// unit changed, so that a run can end or fail at any place in a group.
std::u16string RandomEscapeRun(std::int32_t mode, std::size_t count, std::mt19937& random)
{
    // clang-format off
    static const char16_t* const odd[2][6] = {
        {u"&#00000;", u"&#65536;", u"&#65;", u"&#7;", u"&#6553;", u"&#-1;"},
        {u"\\u0000", u"\\uFFFF", u"\\u00e9", u"\\u0x41", u"\\uD83D", u"x"},
    };
    // clang-format on
    // Units next to the ones that matter, and units that narrow to them.
    static const char16_t changes[] = {u'&', u'#', u'\\',  u'u',   u';',   u'0',   u'9',   u'a',   u'F',   u'G',
                                       u' ', u'-', 0x0130, 0xFF10, 0xFFFF, 0x3000, u'<',   u':',   u'/',   u'@',
                                       u'`', u'g', u'%',   u'$',   u'"',   u't',   0x0126, 0x013B, 0x8030, 0xFF39};
    static const char16_t hex[] = u"0123456789abcdefABCDEF";
    std::uniform_int_distribution<unsigned> pick(0, 63);
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned kind = pick(random);
        if (kind < 6) {
            text += odd[mode][kind];
        } else if (mode == 0) {
            text += u"&#" + std::u16string(1, static_cast<char16_t>(u'1' + kind % 9));
            for (int digit = 0; digit < 4; ++digit)
                text += static_cast<char16_t>(u'0' + pick(random) % 10);
            text += u';';
        } else {
            text += u"\\u";
            for (int digit = 0; digit < 4; ++digit)
                text += hex[pick(random) % 22];
        }
    }
    if (!text.empty() && pick(random) < 24)
        text[pick(random) * text.size() / 64] = changes[pick(random) % std::size(changes)];
    return text;
}

TEST(Differential, EscapeRunsMatchTheLiteralModel)
{
    std::mt19937 random(1208);
    std::uniform_int_distribution<std::size_t> count(0, 40);
    for (int round = 0; round < 40000; ++round) {
        const std::int32_t mode = round & 1;
        const std::u16string text = RandomEscapeRun(mode, count(random), random);
        // The text starts at every offset of a 128-byte group in turn; what
        // follows its terminator must stay as it is.
        const std::size_t offset = static_cast<std::size_t>(round / 2) % 64;
        const std::u16string after = u"&#65;\\u0041";
        std::u16string expected = text;
        expected.push_back(0);
        DecodeTextModel(&expected[0], mode);
        for (Kernel kernel : RunnableKernels()) {
            SCOPED_TRACE(KernelName(kernel));
            std::vector<char16_t> buffer(offset, u'.');
            buffer.insert(buffer.end(), text.begin(), text.end());
            buffer.push_back(0);
            buffer.insert(buffer.end(), after.begin(), after.end());
            DecodeText(&buffer[offset], static_cast<DecodeMode>(mode), kernel);
            ASSERT_EQ(expected.c_str(), std::u16string(&buffer[offset])) << "round " << round << ", mode " << mode;
            const std::u16string tail(buffer.end() - static_cast<std::ptrdiff_t>(after.size()), buffer.end());
            ASSERT_EQ(after, tail) << "round " << round << ": the units after the terminator changed";
        }
    }
}

}  // namespace
