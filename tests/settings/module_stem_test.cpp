// The search for the first '.' of a module's file name, with the lead-byte
// ranges of single- and double-byte code pages.
#include "module_stem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A code page's lead-byte ranges, as the system gives them: pairs of first
// and last byte, ended by a pair of zeros.
struct LeadBytes {
    const char* codePage;
    unsigned char ranges[6];
};

const LeadBytes SingleByte = {"a single-byte code page", {0, 0}};
const LeadBytes CodePage932 = {"code page 932", {0x81, 0x9F, 0xE0, 0xFC, 0, 0}};
const LeadBytes CodePage936 = {"code page 936", {0x81, 0xFE, 0, 0}};

struct DotRow {
    const LeadBytes& leadBytes;
    const char* name;
    int dot;  // offset of the '.' found, -1 for none
};

TEST(FindFirstDot, StepsOverDoubleByteCharacters)
{
    // clang-format off
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
    // clang-format on
    for (const DotRow& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(row.name) << " in " << row.leadBytes.codePage);
        char name[32];
        std::strcpy(name, row.name);
        const char* dot = FindFirstDot(name, row.leadBytes.ranges);
        const int offset = dot == nullptr ? -1 : static_cast<int>(dot - name);
        EXPECT_EQ(row.dot, offset);
    }
}

}  // namespace
