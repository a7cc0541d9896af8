// The decode command and the status, event and id exports, called through
// the loaded DLL with a scripted host window.
#include "decoder/escape_decoder.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace {

typedef PlugInCopyTest PlugInTest;

struct DecodeRow {
    DWORD storedMode;
    const char16_t* selection;
    const char16_t* expected;
};

// The stored mode and the selection of a run, to name it in a failure.
std::string RunShown(DWORD storedMode, const char16_t* selection)
{
    const std::string mode =
        storedMode == PlugInTest::NoStoredMode ? "no stored mode" : "stored mode " + std::to_string(storedMode);
    return mode + ", selection " + testing::PrintToString(selection);
}

// The command end to end: the three messages in order, the count with its
// terminator, one buffer for the text in and out, and the decoded text.
TEST_F(PlugInTest, OnCommandDecodesTheSelection)
{
    // clang-format off
    static const DecodeRow rows[] = {
        {NoStoredMode, u"x&#26085;y", u"x\u65E5y"},
        {0, u"x&#26085;y", u"x\u65E5y"},
        {0, u"&#26085;&#26412; \\u65e5", u"\u65E5\u672C \\u65e5"},
        {1, u"\\u65e5\\u672c", u"\u65E5\u672C"},
        {1, u"&#26085;&#26412; \\u65e5", u"&#26085;&#26412; \u65E5"},
        {0, u"", u""},
        {1, u"", u""},
        {0, u"no escape here \\u0041", u"no escape here \\u0041"},
        {1, u"&#65;", u"&#65;"},
        {0, u"&#55357;&#56832; and &#65;", u"\xD83D\xDE00 and A"},
    };
    // clang-format on
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(RunShown(row.storedMode, row.selection));
        StoreMode(row.storedMode);
        host.ClearLog();
        host.script.selection = row.selection;
        plugin->OnCommand(host.Window());

        ASSERT_EQ(3u, host.log.size());
        EXPECT_EQ(static_cast<UINT>(HostMsgGetSelText), host.log[0].message);
        EXPECT_EQ(0u, host.log[0].wParam);
        EXPECT_EQ(0, host.log[0].lParam);
        EXPECT_EQ(static_cast<UINT>(HostMsgGetSelText), host.log[1].message);
        EXPECT_EQ(std::u16string(row.selection).size() + 1, host.log[1].wParam);
        EXPECT_NE(0, host.log[1].lParam);
        EXPECT_EQ(static_cast<UINT>(HostMsgInsertText), host.log[2].message);
        EXPECT_EQ(0u, host.log[2].wParam);
        EXPECT_EQ(host.log[1].lParam, host.log[2].lParam);
        ASSERT_EQ(1u, host.inserted.size());
        EXPECT_EQ(row.expected, host.inserted[0]);
    }
}

struct ModeRunRow {
    DWORD mode;
    const char16_t* expected;
};

TEST_F(PlugInTest, OnCommandReadsTheModeAtEveryRun)
{
    host.script.selection = u"&#65;\\u0042";
    static const ModeRunRow runs[] = {{1, u"&#65;B"}, {0, u"A\\u0042"}, {1, u"&#65;B"}};
    for (const ModeRunRow& run : runs) {
        SCOPED_TRACE(testing::Message() << "mode " << run.mode);
        StoreModeDword(stem, run.mode);
        host.ClearLog();
        plugin->OnCommand(host.Window());
        ASSERT_EQ(1u, host.inserted.size());
        EXPECT_EQ(run.expected, host.inserted[0]);
    }
}

TEST_F(PlugInTest, OtherStoredModesSendNothing)
{
    static const DWORD modes[] = {2, 0xFFFFFFFF, 7, 0x80000000};
    host.script.selection = u"&#65;";
    for (DWORD mode : modes) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        StoreModeDword(stem, mode);
        host.ClearLog();
        plugin->OnCommand(host.Window());
        EXPECT_TRUE(host.log.empty());
    }
}

struct CountRow {
    const char* name;
    long long announced;  // the host's answer; each table holds values of its architecture's LRESULT
    bool takenWhole;      // false: the command ends after the first question
};

// A 32-bit host: counts of 0 or less, buffers that a 32-bit process cannot
// have, and byte sizes beyond 32 bits end the command untouched.
// clang-format off
const CountRow CountsOnX86[] = {
    {"zero", 0, false},
    {"a 3 GiB buffer", 0x60000000, false},
    {"largest count", 0x7FFFFFFF, false},
    {"top bit set", -0x80000000LL, false},
    {"-1", -1, false},
};
// clang-format on

// A 64-bit host announces a whole LRESULT: a count beyond 32 bits is taken
// whole, never cut to its low half; only counts of 0 or less and buffers that
// cannot be had end the command.
// clang-format off
const CountRow CountsOnX64[] = {
    {"zero", 0, false},
    {"-1", -1, false},
    {"top bit set", static_cast<long long>(0x8000000000000000ULL), false},
    {"byte size beyond 64 bits", 0x7FFFFFFFFFFFFFFFLL, false},
    {"beyond the address space", 0x4000000000000000LL, false},
    {"a 3 GiB buffer", 0x60000000, true},
    {"low half 2, beyond 32 bits", 0x100000002LL, true},
};
// clang-format on

TEST_F(PlugInTest, AnnouncedCountsAreTakenWholeOrEndTheCommand)
{
    const bool x64 = sizeof(LRESULT) == 8;
    const CountRow* rows = x64 ? CountsOnX64 : CountsOnX86;
    const std::size_t count = x64 ? std::size(CountsOnX64) : std::size(CountsOnX86);
    StoreModeDword(stem, 0);
    host.script.selection = u"&#65;bc";
    host.script.announcesOwnCount = true;
    for (const CountRow* row = rows; row != rows + count; ++row) {
        SCOPED_TRACE(row->name);
        host.script.announcedUnits = static_cast<LRESULT>(row->announced);
        host.ClearLog();
        plugin->OnCommand(host.Window());
        EXPECT_EQ(static_cast<UINT>(HostMsgGetSelText), host.log.at(0).message);
        if (!row->takenWhole) {
            EXPECT_EQ(1u, host.log.size());
            EXPECT_TRUE(host.inserted.empty());
            continue;
        }
        ASSERT_EQ(3u, host.log.size());
        EXPECT_EQ(static_cast<WPARAM>(row->announced), host.log[1].wParam);
        ASSERT_EQ(1u, host.inserted.size());
        EXPECT_EQ(u"Abc", host.inserted[0]);
    }
}

struct FaultyHostRow {
    const char16_t* selection;
    LRESULT announcedUnits;
    bool writesTerminator;
    bool writesOnePastSize;
    const char16_t* expected;
};

// The plug-in ends the buffer with a zero unit of its own, so a host that
// writes no terminator loses nothing and nothing is read past the buffer;
// a host that writes one unit too many has that unit taken back.
TEST_F(PlugInTest, HostWithoutTerminatorLosesNothing)
{
    // clang-format off
    static const FaultyHostRow rows[] = {
        {u"&#65;BC", 7, false, false, u"ABC"},
        {u"x\\u0041", 7, false, false, u"x\\u0041"},
        {u"abc&#", 5, false, false, u"abc&#"},
        {u"&#65;BC", 20, false, false, u"ABC"},    // the rest of the buffer is zero
        {u"&#65;BCDEF", 4, false, false, u"&#65"},  // the host fills only what it announced
        {u"&#65;", 1, true, false, u""},
        {u"&#65;BCDEF", 4, false, true, u"&#65"},  // the ";" lands on the plug-in's terminator
    };
    // clang-format on
    StoreModeDword(stem, 0);
    for (const FaultyHostRow& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(row.selection) << ", " << row.announcedUnits
                                        << " units announced" << (row.writesTerminator ? "" : ", no terminator")
                                        << (row.writesOnePastSize ? ", one unit past the size" : ""));
        host.script.selection = row.selection;
        host.script.announcesOwnCount = true;
        host.script.announcedUnits = row.announcedUnits;
        host.script.writesTerminator = row.writesTerminator;
        host.script.writesOnePastSize = row.writesOnePastSize;
        host.ClearLog();
        plugin->OnCommand(host.Window());
        ASSERT_EQ(1u, host.inserted.size());
        EXPECT_EQ(row.expected, host.inserted[0]);
    }
}

TEST_F(PlugInTest, LargeSelectionMatchesTheDecoder)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pick(0, 9);
    static const char16_t* const pieces[] = {u"&#26085;", u"\\u65e5", u"text ",  u"&#",   u"\\u",
                                             u"&#65",     u";",       u"\xD83D", u"\r\n", u"&#-1;"};
    std::u16string text;
    while (text.size() < 300000)
        text += pieces[pick(random)];
    for (std::int32_t mode = 0; mode <= 1; ++mode) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        std::u16string expected = text;
        DecodeText(&expected[0], static_cast<DecodeMode>(mode));
        StoreModeDword(stem, static_cast<DWORD>(mode));
        host.script.selection = text;
        host.ClearLog();
        plugin->OnCommand(host.Window());
        ASSERT_EQ(1u, host.inserted.size());
        EXPECT_TRUE(SameText(expected.c_str(), host.inserted[0]));
    }
}

struct StatusRow {
    bool writesFlag;
    DWORD hostFlag;
    LRESULT selectionType;
    BOOL enabled;
    bool asksSelection;
};

TEST_F(PlugInTest, QueryStatusFollowsTheHost)
{
    // clang-format off
    static const StatusRow rows[] = {
        {true, 0, 1, TRUE, true},      {true, 0, 2, TRUE, true},       {true, 0, 0x11, TRUE, true},
        {true, 0, 0x22, TRUE, true},   {true, 0, -15, TRUE, true},     {true, 0, 0, FALSE, true},
        {true, 0, 3, FALSE, true},     {true, 0, 0x10, FALSE, true},   {true, 0, 0xF, FALSE, true},
        {true, 0, 4, FALSE, true},     {true, 1, 1, FALSE, false},     {true, 0xFFFFFFFF, 2, FALSE, false},
        {false, 0, 1, FALSE, false},  // a host that never writes the flag
    };
    // clang-format on
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.writesFlag ? "status flag " + std::to_string(row.hostFlag)
                                                           : std::string("the status flag left alone"))
                                        << ", selection type " << row.selectionType);
        host.script.writesStatusFlag = row.writesFlag;
        host.script.statusFlag = row.hostFlag;
        host.script.selectionType = row.selectionType;
        host.ClearLog();
        DWORD callerFlag = 0xA5A5A5A5;
        EXPECT_EQ(row.enabled, plugin->QueryStatus(host.Window(), &callerFlag));
        EXPECT_EQ(0u, callerFlag);
        ASSERT_EQ(row.asksSelection ? 2u : 1u, host.log.size());
        EXPECT_EQ(static_cast<UINT>(HostMsgQueryStatus), host.log[0].message);
        EXPECT_EQ(static_cast<WPARAM>(HostCommandPlugIn), host.log[0].wParam);
        EXPECT_NE(0, host.log[0].lParam);
        EXPECT_NE(reinterpret_cast<LPARAM>(&callerFlag), host.log[0].lParam);
        EXPECT_NE(0u, host.log[0].statusFlagBefore);
        if (row.asksSelection) {
            EXPECT_EQ(static_cast<UINT>(HostMsgGetSelType), host.log[1].message);
            EXPECT_EQ(0u, host.log[1].wParam);
            EXPECT_EQ(0, host.log[1].lParam);
        }
    }
}

TEST_F(PlugInTest, QueryStatusWithoutFlagAddress)
{
    host.script.selectionType = 2;
    EXPECT_EQ(TRUE, plugin->QueryStatus(host.Window(), nullptr));
    host.script.statusFlag = 1;
    EXPECT_EQ(FALSE, plugin->QueryStatus(host.Window(), nullptr));
}

TEST_F(PlugInTest, QueryStatusLeavesTheRegistryAlone)
{
    host.script.selectionType = 1;
    EXPECT_EQ(TRUE, plugin->QueryStatus(host.Window(), nullptr));
    EXPECT_FALSE(SettingsKeyExists(stem));
    StoreModeDword(stem, 2);
    EXPECT_EQ(TRUE, plugin->QueryStatus(host.Window(), nullptr));
}

struct EventCall {
    DWORD events;
    DWORD value;
    long long sentId;  // the identifier sent with HostMsgUpdateItem, or -1 for nothing sent
};

struct EventRow {
    const char* name;
    EventCall calls[3];
};

const DWORD Refresh = EventRefresh;
const DWORD SetId = EventSetItemId;
const DWORD OtherEvents = ~(Refresh | SetId);

TEST_F(PlugInTest, OnEventsKeepsAndSendsTheItemId)
{
    // clang-format off
    static const EventRow rows[] = {
        {"refresh before any id", {{Refresh, 5, 0}, {0, 0, -1}, {0, 0, -1}}},
        {"id and refresh together", {{SetId | Refresh, 77, 77}, {Refresh, 0, 77}, {0, 0, -1}}},
        {"id, then refresh", {{SetId, 9, -1}, {Refresh, 3, 9}, {Refresh, 4, 9}}},
        {"id replaced", {{SetId, 9, -1}, {SetId, 12, -1}, {Refresh, 0, 12}}},
        {"other bits only", {{OtherEvents, 6, -1}, {Refresh, 0, 0}, {0, 0, -1}}},
        {"every bit", {{0xFFFFFFFF, 3, 3}, {0, 0, -1}, {Refresh, 0, 3}}},
        // a 32-bit id reaches a 64-bit host zero-extended
        {"id with its top bit",
         {{SetId, 0x80000000, -1}, {Refresh, 0, 0x80000000}, {SetId | Refresh, 0xFFFFFFFF, 0xFFFFFFFF}}},
    };
    // clang-format on
    for (const EventRow& row : rows) {
        SCOPED_TRACE(row.name);
        LoadedPlugIn fresh(CopyPlugIn(stem + "_events.dll"));
        ASSERT_TRUE(fresh.Loaded());
        for (int call = 0; call < 3; ++call) {
            const EventCall& event = row.calls[call];
            SCOPED_TRACE(testing::Message() << "call " << call + 1 << ": events 0x" << std::hex << event.events
                                            << ", value 0x" << event.value);
            host.ClearLog();
            fresh.OnEvents(host.Window(), event.events, event.value);
            if (event.sentId < 0) {
                EXPECT_TRUE(host.log.empty());
                continue;
            }
            ASSERT_EQ(1u, host.log.size());
            EXPECT_EQ(static_cast<UINT>(HostMsgUpdateItem), host.log[0].message);
            EXPECT_EQ(static_cast<WPARAM>(event.sentId), host.log[0].wParam);
            EXPECT_EQ(0, host.log[0].lParam);
        }
    }
}

TEST_F(PlugInTest, IdsOfTheCommand)
{
    EXPECT_EQ(3u, plugin->GetMenuTextID());
    EXPECT_EQ(4u, plugin->GetStatusMessageID());
    EXPECT_EQ(101u, plugin->GetBitmapID());
}

}  // namespace
