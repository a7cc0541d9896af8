// PlugInProc's answers that need no user: unknown messages, the string
// answers, the toolbar bitmap ids and the mask colours.
#include "dialog_driver.h"
#include "expected_texts.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "resource.h"
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

    LoadedPlugIn* const plugin = &SharedPlugIn();
    ScriptedHost host;
};

struct AnswerRow {
    UINT message;
    LRESULT answer;
};

TEST_F(ProtocolTest, MessagesWithFixedAnswers)
{
    // clang-format off
    static const AnswerRow rows[] = {
        {0, 0}, {0x8FF, 0}, {PlugInMsgAcknowledge900, 1}, {0x903, 0}, {0x905, 0},
        {PlugInMsgAcknowledge906, 1}, {0x90A, 0}, {0xA00, 0}, {0xFFFFFFFF, 0}, {0x1900, 0},
    };
    // clang-format on
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << "message 0x" << row.message);
        EXPECT_EQ(row.answer, Ask(row.message, 0x12345678, 0x1000));
        EXPECT_TRUE(host.log.empty());
    }
}

std::string ToAnsi(const char16_t* text)
{
    char ansi[128] = {};
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
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
    const std::string version = ToAnsi(ExpectedVersion);
    // The name in the user-interface language, in the process's code page.
    const std::string name = ToAnsi(ExpectedTextsFor(UiLanguage()).name);
    const UINT Version = PlugInMsgGetVersion;
    const UINT Name = PlugInMsgGetName;
    // clang-format off
    const StringRow rows[] = {
        {"version, no buffer", Version, -2, 0},
        {"version, large buffer", Version, 64, 4},
        {"version, exact buffer", Version, 5, 4},
        {"version, size 3", Version, 3, 2},
        {"version, size 1", Version, 1, 0},
        {"version, size 0", Version, 0, 0},
        {"version, size -1", Version, -1, 0},
        {"name, no buffer", Name, -2, 0},
        {"name, large buffer", Name, 64, name.size()},
        {"name, size 0", Name, 0, 0},
        {"name, size -1", Name, -1, 0},
        {"version, size 2^31", Version, 0x80000000LL, 4},
        {"version, size 2^32 + 3", Version, 0x100000003LL, 4, true},
        {"name, size 2^32", Name, 0x100000000LL, name.size(), true},
        {"name, size 2^63 - 1", Name, 0x7FFFFFFFFFFFFFFFLL, name.size(), true},
    };
    // clang-format on
    for (const StringRow& row : rows) {
        if (row.only64 && sizeof(WPARAM) < 8)
            continue;  // a 32-bit host cannot pass this size
        SCOPED_TRACE(row.name);
        const std::string& text = row.message == Version ? version : name;
        char area[96];
        std::memset(area, 0x5A, sizeof area);
        char* buffer = area + 16;
        const LPARAM address = row.bufferSize == -2 ? 0 : reinterpret_cast<LPARAM>(buffer);
        const WPARAM size = static_cast<WPARAM>(row.bufferSize);
        const LRESULT answer = Ask(row.message, size, address);
        EXPECT_EQ(static_cast<LRESULT>(text.size() + 1), answer);

        const bool writes = row.bufferSize != -2 && static_cast<INT_PTR>(size) > 0;
        const std::size_t written = writes ? row.copied + 1 : 0;
        for (std::size_t i = 0; i < sizeof area; ++i) {
            const char* p = area + i;
            if (p >= buffer && p < buffer + written)
                continue;
            ASSERT_EQ(0x5A, static_cast<unsigned char>(*p)) << "byte " << (p - buffer) << " written";
        }
        if (writes) {
            EXPECT_EQ(text.substr(0, row.copied), std::string(buffer));
        }
    }
}

struct NameLengthRow {
    UINT codePage;
    LRESULT answer;
};

// The name in the process's code page: 12 bytes in Simplified Chinese, 17 in
// Japanese; under code page 1252 the Japanese name keeps "Unicode" and each
// of its five other characters becomes one "?".
TEST_F(ProtocolTest, NameTakesItsLanguagesByteCount)
{
    static const NameLengthRow rows[] = {{936, 13}, {932, 18}, {1252, 13}};
    const UINT codePage = GetACP();
    for (const NameLengthRow& row : rows) {
        if (row.codePage == codePage) {
            EXPECT_EQ(row.answer, Ask(PlugInMsgGetName));
            return;
        }
    }
    GTEST_SKIP() << "runs under code pages 932, 936 and 1252";
}

// The image flags, short, for the tables below.
const WPARAM Large = ImageFlagLarge;
const WPARAM Colors256 = ImageFlag256Colors;
const WPARAM TrueColor = ImageFlagTrueColor;
const WPARAM Disabled = ImageFlagDisabled;
const WPARAM Hot = ImageFlagHot;

// The decision table of the toolbar bitmaps: a row applies when the flags
// under `mask` equal `value`. A flag that another one wins over is left out
// of the mask.
struct BitmapRule {
    WPARAM mask;
    WPARAM value;
    UINT bitmap;
};

const WPARAM SizeAndDepth = Large | Colors256 | TrueColor;  // 16 colours serve every state
const WPARAM All = SizeAndDepth | Disabled | Hot;
const WPARAM AllButHot = All & ~Hot;
const WPARAM AllBut256 = All & ~Colors256;
const WPARAM AllBut256AndHot = AllBut256 & ~Hot;

// clang-format off
const BitmapRule BitmapRules[] = {
    {SizeAndDepth, 0, IDB_SMALL_16COLOR},
    {All, Colors256, IDB_SMALL_256COLOR},
    {AllButHot, Colors256 | Disabled, IDB_SMALL_256COLOR_DISABLED},
    {All, Colors256 | Hot, IDB_SMALL_256COLOR_HOT},
    {AllBut256, TrueColor, IDB_SMALL_TRUECOLOR},
    {AllBut256AndHot, TrueColor | Disabled, IDB_SMALL_TRUECOLOR_DISABLED},
    {AllBut256, TrueColor | Hot, IDB_SMALL_TRUECOLOR_HOT},
    {SizeAndDepth, Large, IDB_LARGE_16COLOR},
    {All, Large | Colors256, IDB_LARGE_256COLOR},
    {AllButHot, Large | Colors256 | Disabled, IDB_LARGE_256COLOR_DISABLED},
    {All, Large | Colors256 | Hot, IDB_LARGE_256COLOR_HOT},
    {AllBut256, Large | TrueColor, IDB_LARGE_TRUECOLOR},
    {AllBut256AndHot, Large | TrueColor | Disabled, IDB_LARGE_TRUECOLOR_DISABLED},
    {AllBut256, Large | TrueColor | Hot, IDB_LARGE_TRUECOLOR_HOT},
};
// clang-format on

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
    if (flags & TrueColor)
        return static_cast<LRESULT>(0xFFFFFFFFu);
    return (flags & Colors256) ? 0x00FF00FF : 0;
}

WPARAM FlagsOfCombination(unsigned combination)
{
    static const WPARAM bits[] = {Large, Colors256, TrueColor, Disabled, Hot};
    WPARAM flags = 0;
    for (unsigned i = 0; i < 5; ++i) {
        if (combination & (1u << i))
            flags |= bits[i];
    }
    return flags;
}

TEST_F(ProtocolTest, BitmapAndMaskForEveryFlagCombination)
{
    static const WPARAM unrelated[] = {0, 0x2, 0x4, 0x8, 0x40, 0x80, 0x400, 0x800, 0x10000, static_cast<DWORD>(~All)};
    for (unsigned combination = 0; combination < 32; ++combination) {
        const WPARAM flags = FlagsOfCombination(combination);
        for (WPARAM extra : unrelated) {
            SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << flags << " | 0x" << extra);
            EXPECT_EQ(static_cast<LRESULT>(ExpectedBitmap(flags)), Ask(PlugInMsgGetBitmapId, flags | extra));
            EXPECT_EQ(ExpectedMask(flags), Ask(PlugInMsgGetMaskColor, flags | extra));
        }
    }
}

struct FlagsRow {
    WPARAM flags;
    LRESULT answer;
};

// The decision table, read by hand, for the cases where one flag wins over
// another.
TEST_F(ProtocolTest, BitmapPrecedence)
{
    // clang-format off
    static const FlagsRow rows[] = {
        {TrueColor | Colors256, IDB_SMALL_TRUECOLOR},
        {All, IDB_LARGE_TRUECOLOR_DISABLED},
        {Disabled | Hot, IDB_SMALL_16COLOR},
        {Large | Disabled | Hot, IDB_LARGE_16COLOR},
        {0, IDB_SMALL_16COLOR},
        {Colors256, IDB_SMALL_256COLOR},
        {Colors256 | Disabled, IDB_SMALL_256COLOR_DISABLED},
        {Colors256 | Hot, IDB_SMALL_256COLOR_HOT},
        {Colors256 | Disabled | Hot, IDB_SMALL_256COLOR_DISABLED},
        {Large | Colors256, IDB_LARGE_256COLOR},
        {Large | Colors256 | Disabled, IDB_LARGE_256COLOR_DISABLED},
        {Large | Colors256 | Hot, IDB_LARGE_256COLOR_HOT},
        {TrueColor, IDB_SMALL_TRUECOLOR},
        {TrueColor | Disabled, IDB_SMALL_TRUECOLOR_DISABLED},
        {TrueColor | Hot, IDB_SMALL_TRUECOLOR_HOT},
        {Large | TrueColor, IDB_LARGE_TRUECOLOR},
        {Large | TrueColor | Disabled, IDB_LARGE_TRUECOLOR_DISABLED},
        {Large | TrueColor | Hot, IDB_LARGE_TRUECOLOR_HOT},
    };
    // clang-format on
    for (const FlagsRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << row.flags);
        EXPECT_EQ(row.answer, Ask(PlugInMsgGetBitmapId, row.flags));
    }
    EXPECT_EQ(static_cast<LRESULT>(plugin->GetBitmapID()), Ask(PlugInMsgGetBitmapId, 0));
}

// A colour is 32 bits: a 64-bit host gets 0x00000000FFFFFFFF, never -1.
TEST_F(ProtocolTest, MaskColours)
{
    // clang-format off
    static const FlagsRow rows[] = {
        {TrueColor | Colors256, static_cast<LRESULT>(0xFFFFFFFFu)},
        {Colors256, 0x00FF00FF},
        {Colors256 | Disabled | Hot, 0x00FF00FF},
        {Large, 0},
        {Disabled, 0},
        {Hot, 0},
    };
    // clang-format on
    for (const FlagsRow& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << row.flags);
        EXPECT_EQ(row.answer, Ask(PlugInMsgGetMaskColor, row.flags));
    }
}

}  // namespace
