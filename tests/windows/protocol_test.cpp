// PlugInProc's answers that need no user: unknown messages, the string
// answers, the toolbar bitmap ids and the mask colours.
#include "dialog_driver.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

class ProtocolTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin->Loaded()); }
    LRESULT Ask(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return plugin->PlugInProc(host.Window(), message, wParam, lParam);
    }

    LoadedPlugin* const plugin = &SharedPlugin();
    ScriptedHost host;
};

struct AnswerRow {
    UINT message;
    LRESULT answer;
};

TEST_F(ProtocolTest, MessagesWithFixedAnswers)
{
    static const AnswerRow rows[] = {
        {0, 0},     {0x8FF, 0}, {0x900, 1}, {0x903, 0},      {0x905, 0},
        {0x906, 1}, {0x90A, 0}, {0xA00, 0}, {0xFFFFFFFF, 0}, {0x1900, 0},
    };
    for (const AnswerRow& row : rows) {
        EXPECT_EQ(row.answer, Ask(row.message, 0x12345678, 0x1000)) << std::hex << "message 0x" << row.message;
        EXPECT_TRUE(host.log.empty()) << std::hex << "message 0x" << row.message;
    }
}

std::string ToAnsi(const char16_t* text)
{
    char ansi[128] = {};
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

// The name in the user-interface language, in the process's code page.
// Under a language other than Simplified Chinese the loader gives the first
// language of the resources, Japanese.
std::string ExpectedName()
{
    return ToAnsi(UiLanguage() == 0x0804 ? u"\u89E3\u7801 Unicode" : u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9");
}

struct StringRow {
    const char* name;
    UINT message;
    long long bufferSize;  // -2: no buffer at all
    std::size_t copied;    // bytes of the string expected in the buffer before its terminator
    bool only64 = false;   // a size that only a 64-bit WPARAM holds
};

// Guard bytes around the host's buffer show that nothing is written outside
// the size it gives, and nothing at all for a size of 0 or less. The size is
// the host's signed WPARAM: 2^31 is negative from a 32-bit host, a 2 GiB
// buffer from a 64-bit one, and no size is cut to its low 32 bits.
TEST_F(ProtocolTest, StringAnswersCopyWhatFits)
{
    const std::string version = "1.00";
    const std::string name = ExpectedName();
    const StringRow rows[] = {
        {"version, no buffer", 0x904, -2, 0},
        {"version, large buffer", 0x904, 64, 4},
        {"version, exact buffer", 0x904, 5, 4},
        {"version, size 3", 0x904, 3, 2},
        {"version, size 1", 0x904, 1, 0},
        {"version, size 0", 0x904, 0, 0},
        {"version, size -1", 0x904, -1, 0},
        {"name, no buffer", 0x902, -2, 0},
        {"name, large buffer", 0x902, 64, name.size()},
        {"name, size 0", 0x902, 0, 0},
        {"name, size -1", 0x902, -1, 0},
        {"version, size 2^31", 0x904, 0x80000000LL, 4},
        {"version, size 2^32 + 3", 0x904, 0x100000003LL, 4, true},
        {"name, size 2^32", 0x902, 0x100000000LL, name.size(), true},
        {"name, size 2^63 - 1", 0x902, 0x7FFFFFFFFFFFFFFFLL, name.size(), true},
    };
    for (const StringRow& row : rows) {
        if (row.only64 && sizeof(WPARAM) < 8)
            continue;  // a 32-bit host cannot pass this size
        const std::string& text = row.message == 0x904 ? version : name;
        char area[96];
        std::memset(area, 0x5A, sizeof area);
        char* buffer = area + 16;
        const LPARAM address = row.bufferSize == -2 ? 0 : reinterpret_cast<LPARAM>(buffer);
        const WPARAM size = static_cast<WPARAM>(row.bufferSize);
        const LRESULT answer = Ask(row.message, size, address);
        EXPECT_EQ(static_cast<LRESULT>(text.size() + 1), answer) << row.name;

        const bool writes = row.bufferSize != -2 && static_cast<INT_PTR>(size) > 0;
        const std::size_t written = writes ? row.copied + 1 : 0;
        for (std::size_t i = 0; i < sizeof area; ++i) {
            const char* p = area + i;
            if (p >= buffer && p < buffer + written)
                continue;
            ASSERT_EQ(0x5A, static_cast<unsigned char>(*p)) << row.name << ": byte " << (p - buffer) << " written";
        }
        if (writes) {
            EXPECT_EQ(text.substr(0, row.copied), std::string(buffer)) << row.name;
        }
    }
}

TEST_F(ProtocolTest, NameTakesItsLanguagesByteCount)
{
    const UINT codePage = GetACP();
    if (codePage == 936)
        EXPECT_EQ(13, Ask(0x902));
    else if (codePage == 932)
        EXPECT_EQ(18, Ask(0x902));
    else
        GTEST_SKIP() << "runs under code pages 932 and 936";
}

// The decision table of the toolbar bitmaps: a row applies when the flags
// under `mask` equal `value`.
struct BitmapRule {
    WPARAM mask;
    WPARAM value;
    UINT bitmap;
};

const BitmapRule BitmapRules[] = {
    // 0x1 (large), 0x20 (32 bits), 0x10 (256 colours), 0x100 (disabled), 0x200 (hot)
    {0x031, 0x000, 101}, {0x331, 0x010, 104}, {0x131, 0x110, 105}, {0x331, 0x210, 107},
    {0x321, 0x020, 114}, {0x121, 0x120, 113}, {0x321, 0x220, 115}, {0x031, 0x001, 109},
    {0x331, 0x011, 111}, {0x131, 0x111, 110}, {0x331, 0x211, 112}, {0x321, 0x021, 118},
    {0x121, 0x121, 117}, {0x321, 0x221, 119},
};

// The one rule that applies, or 0 when none or more than one does.
UINT ExpectedBitmap(WPARAM flags)
{
    UINT found = 0;
    int matches = 0;
    for (const BitmapRule& rule : BitmapRules) {
        if ((flags & rule.mask) == rule.value) {
            found = rule.bitmap;
            ++matches;
        }
    }
    return matches == 1 ? found : 0;
}

LRESULT ExpectedMask(WPARAM flags)
{
    if (flags & 0x20)
        return static_cast<LRESULT>(0xFFFFFFFFu);
    return (flags & 0x10) ? 0x00FF00FF : 0;
}

WPARAM FlagsOfCombination(unsigned combination)
{
    static const WPARAM bits[] = {0x1, 0x10, 0x20, 0x100, 0x200};
    WPARAM flags = 0;
    for (unsigned i = 0; i < 5; ++i) {
        if (combination & (1u << i))
            flags |= bits[i];
    }
    return flags;
}

TEST_F(ProtocolTest, BitmapAndMaskForEveryFlagCombination)
{
    static const WPARAM unrelated[] = {0, 0x2, 0x4, 0x8, 0x40, 0x80, 0x400, 0x800, 0x10000, 0xFFFFFCCE};
    for (unsigned combination = 0; combination < 32; ++combination) {
        const WPARAM flags = FlagsOfCombination(combination);
        for (WPARAM extra : unrelated) {
            EXPECT_EQ(static_cast<LRESULT>(ExpectedBitmap(flags)), Ask(0x908, flags | extra))
                << std::hex << "flags 0x" << flags << " | 0x" << extra;
            EXPECT_EQ(ExpectedMask(flags), Ask(0x909, flags | extra)) << std::hex << "flags 0x" << flags << " | 0x"
                                                                       << extra;
        }
    }
}

// The decision table, read by hand, for the cases where one flag wins over
// another.
TEST_F(ProtocolTest, BitmapPrecedence)
{
    static const AnswerRow rows[] = {
        {0x30, 114},  {0x331, 117}, {0x300, 101}, {0x301, 109}, {0x0, 101},   {0x10, 104},
        {0x110, 105}, {0x210, 107}, {0x310, 105}, {0x11, 111},  {0x111, 110}, {0x211, 112},
        {0x20, 114},  {0x120, 113}, {0x220, 115}, {0x21, 118},  {0x121, 117}, {0x221, 119},
    };
    for (const AnswerRow& row : rows)
        EXPECT_EQ(row.answer, Ask(0x908, row.message)) << std::hex << "flags 0x" << row.message;
    EXPECT_EQ(static_cast<LRESULT>(plugin->GetBitmapID()), Ask(0x908, 0));
}

// A colour is 32 bits: a 64-bit host gets 0x00000000FFFFFFFF, never -1.
TEST_F(ProtocolTest, MaskColours)
{
    static const AnswerRow rows[] = {
        {0x30, static_cast<LRESULT>(0xFFFFFFFFu)}, {0x10, 0x00FF00FF}, {0x310, 0x00FF00FF},
        {0x1, 0},                                    {0x100, 0},         {0x200, 0},
    };
    for (const AnswerRow& row : rows)
        EXPECT_EQ(row.answer, Ask(0x909, row.message)) << std::hex << "flags 0x" << row.message;
}

}  // namespace
