// The search for the first '.' of a module's file name, with the lead-byte
// ranges of single- and double-byte code pages.
#include "module_stem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

namespace {

const unsigned char SingleByte[] = {0, 0};
const unsigned char CodePage932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
const unsigned char CodePage936[] = {0x81, 0xFE, 0, 0};

struct DotRow {
    const unsigned char* leadBytes;
    const char* name;
    int dot;  // offset of the '.' found, -1 for none
};

TEST(FindFirstDot, StepsOverDoubleByteCharacters)
{
    static const DotRow rows[] = {
        {SingleByte, "Widget.beta.dll", 6},
        {SingleByte, "NoDot", -1},
        {SingleByte, "", -1},
        {SingleByte, ".dll", 0},
        {SingleByte, "\x81.dll", 1},
        {CodePage932, "\x81.x.dll", 3},     // 0x81 0x2E is one character
        {CodePage932, "\x9F.\xE0..", 4},
        {CodePage932, "\xFC.", -1},         // the second '.' is gone with the name's end
        {CodePage932, "a\x81", -1},         // a lead byte cut off by the end
        {CodePage932, "\xA0.dll", 1},       // 0xA0 lies between the ranges
        {CodePage932, "\xFD.dll", 1},
        {CodePage932, "\x83\x5C\x83.x.dll", 5},
        {CodePage936, "\xA1.\xFE..dll", 4},
        {CodePage936, "\x80.dll", 1},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        char name[32];
        std::strcpy(name, rows[i].name);
        const char* dot = FindFirstDot(name, rows[i].leadBytes);
        const int offset = dot == nullptr ? -1 : static_cast<int>(dot - name);
        EXPECT_EQ(rows[i].dot, offset) << "row " << i;
    }
}

}  // namespace
