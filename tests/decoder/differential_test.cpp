// The decoder against the literal model on many random texts. Only the
// zero-terminated result counts: what lies between the new and the old
// terminator is left over and differs between the two.
#include "escape_decoder.h"
#include "random_text.h"
#include "reference_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string Hex(const std::u16string& text)
{
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

TEST(Differential, DecoderMatchesTheLiteralModel)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<unsigned> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 48);
    for (int round = 0; round < 200000; ++round) {
        const std::int32_t mode = round & 1;
        std::u16string text = RandomEscapeText(length(random), [&] { return byte(random); });
        std::u16string expected = text;
        expected.push_back(0);
        text.push_back(0);
        DecodeTextModel(&expected[0], mode);
        DecodeText(&text[0], mode);
        ASSERT_EQ(Hex(expected.c_str()), Hex(text.c_str())) << "round " << round << ", mode " << mode;
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
        DecodeText(&text[0], mode);
        ASSERT_TRUE(std::u16string(expected.c_str()) == text.c_str()) << "round " << round << ", mode " << mode;
    }
}

}  // namespace
