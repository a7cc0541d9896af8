// A long run through the DLL: many commands on random selections with random
// stored modes and random, sometimes faulty, host answers. Every result is
// checked against the decoder called directly, and the process's private
// memory must not creep. Then one very large selection in each mode, timed.
#include "decoder/escape_decoder.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const int Commands = 100000;
const int EmulatedShare = 10;  // under emulation, one command in ten
const int SettleCommands = 1000;
const std::size_t LargestSelection = 64 * 1024;
const SIZE_T AllowedGrowth = 1024 * 1024;

// The committed private memory of the process, summed over its address
// space (the system's own counters are not kept up to date by every
// Windows implementation).
SIZE_T PrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const BYTE* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize < address)
            break;  // wrapped around the end of the address space
    }
    return total;
}

// Where 32-bit code runs only under qemu's emulation, about ten times
// slower, the build sets SOAK_UNDER_EMULATION and the soak runs a tenth of
// its commands, saying so.
int CommandCount()
{
    char value[8];
    if (GetEnvironmentVariableA("SOAK_UNDER_EMULATION", value, sizeof value) == 0)
        return Commands;
    std::printf("soak: under emulation, 1 command in %d: %d commands\n", EmulatedShare, Commands / EmulatedShare);
    return Commands / EmulatedShare;
}

// A long random text rich in escapes of both kinds, from which selections
// are cut at random places.
std::u16string TextPool(std::mt19937& random)
{
    static const char16_t* const pieces[] = {u"&#26085;", u"\\u65e5", u"&#65;",    u"\\u0041",  u"&#",    u"\\u",
                                             u";",        u"&#-1;",   u"\\u0x4",   u"&#00065;", u"text ", u"\r\n",
                                             u"\xD83D",   u"\u3000",  u"&#65536;", u"\\uFFFF",  u"&&#",   u"\\\\u"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::u16string pool;
    while (pool.size() < 4 * LargestSelection)
        pool += pieces[pick(random)];
    return pool;
}

enum class HostFault { None, NoStatusWrite, CountZero, CountTooLarge, NoTerminatorShortCount, CountLongerThanText };

struct Expected {
    bool handsBack;
    std::u16string text;
};

// What a correct plug-in hands back for `selection` in `mode` from a host
// with `fault`; `announced` is the count the faulty host gives.
Expected ExpectedResult(const std::u16string& selection, std::int32_t mode, HostFault fault, LRESULT announced)
{
    if ((mode != 0 && mode != 1) || fault == HostFault::CountZero || fault == HostFault::CountTooLarge)
        return {false, u""};
    std::u16string text = fault == HostFault::NoTerminatorShortCount
                              ? selection.substr(0, static_cast<std::size_t>(announced))
                              : selection;
    text.push_back(0);
    DecodeText(&text[0], static_cast<DecodeMode>(mode));
    return {true, std::u16string(text.c_str())};
}

// Whether the host got back what a correct plug-in hands back.
testing::AssertionResult HandedBack(const Expected& expected, const std::vector<std::u16string>& inserted)
{
    if (!expected.handsBack)
        return inserted.empty() ? testing::AssertionSuccess() : testing::AssertionFailure() << "a text handed back";
    if (inserted.size() != 1)
        return testing::AssertionFailure() << inserted.size() << " texts handed back";
    return SameText(expected.text, inserted[0]);
}

// A count that no process of this architecture can hold: negative from a
// 32-bit host, a buffer far beyond the address space from a 64-bit one.
LRESULT UnholdableCount(std::size_t size)
{
    if (sizeof(LRESULT) == 4)
        return static_cast<LRESULT>(0x80000000u + static_cast<DWORD>(size));
    return static_cast<LRESULT>(0x4000000000000000ULL + size);
}

TEST(Soak, HundredThousandCommands)
{
    const std::string stem = "SoakRun";
    DeletePlugInSettingsKey(stem);
    LoadedPlugIn plugin(CopyPlugIn(stem + ".dll"));
    ASSERT_TRUE(plugin.Loaded());
    ScriptedHost host;
    std::mt19937 random(20261208);
    const std::u16string pool = TextPool(random);
    std::uniform_int_distribution<std::size_t> length(0, LargestSelection);
    std::uniform_int_distribution<int> percent(0, 99);
    static const std::int32_t modes[] = {0, 1, 0, 1, 2, -1};

    const int commands = CommandCount();
    SIZE_T settled = 0;
    int mismatches = 0;
    for (int command = 0; command < commands; ++command) {
        const std::size_t size = length(random);
        const std::size_t start = std::uniform_int_distribution<std::size_t>(0, pool.size() - size)(random);
        host.script = HostScript();
        host.script.selection = pool.substr(start, size);
        const int roll = percent(random);
        HostFault fault = HostFault::None;
        if (roll < 4)
            fault = HostFault::NoStatusWrite;
        else if (roll < 6)
            fault = HostFault::CountZero;
        else if (roll < 8)
            fault = HostFault::CountTooLarge;
        else if (roll < 12)
            fault = HostFault::NoTerminatorShortCount;
        else if (roll < 16)
            fault = HostFault::CountLongerThanText;

        std::int32_t mode = 0;
        const int modePick = percent(random) % 8;
        if (modePick < 6) {
            mode = modes[modePick];
            StoreModeDword(stem, static_cast<DWORD>(mode));
        } else {
            DeletePlugInSettingsKey(stem);  // no key: mode 0
        }
        switch (fault) {
        case HostFault::NoStatusWrite:
            host.script.writesStatusFlag = false;
            break;
        case HostFault::CountZero:
            host.script.announcesOwnCount = true;
            host.script.announcedUnits = 0;
            break;
        case HostFault::CountTooLarge:
            host.script.announcesOwnCount = true;
            host.script.announcedUnits = UnholdableCount(size);
            break;
        case HostFault::NoTerminatorShortCount:
            host.script.announcesOwnCount = true;
            host.script.announcedUnits = static_cast<LRESULT>(size / 2 + 1);
            host.script.writesTerminator = false;
            break;
        case HostFault::CountLongerThanText:
            host.script.announcesOwnCount = true;
            host.script.announcedUnits = static_cast<LRESULT>(size + 1 + size / 3);
            break;
        case HostFault::None:
            break;
        }

        DWORD flag = 0xFFFFFFFF;
        const BOOL enabled = plugin.QueryStatus(host.Window(), &flag);
        if (enabled != (fault != HostFault::NoStatusWrite) || flag != 0)
            ++mismatches;
        host.ClearLog();
        plugin.OnCommand(host.Window());
        const Expected expected = ExpectedResult(host.script.selection, mode, fault, host.script.announcedUnits);
        const testing::AssertionResult matches = HandedBack(expected, host.inserted);
        if (!matches && ++mismatches <= 5)
            ADD_FAILURE() << "command " << command << ": mode " << mode << ", fault " << static_cast<int>(fault)
                          << ", selection of " << size << " units: " << matches.message();
        if (command + 1 == SettleCommands)
            settled = PrivateBytes();
    }
    const SIZE_T final = PrivateBytes();
    std::printf("soak: %d commands, %d mismatches; private memory %lu KiB after %d commands, %lu KiB at the end\n",
                commands, mismatches, static_cast<unsigned long>(settled / 1024), SettleCommands,
                static_cast<unsigned long>(final / 1024));
    EXPECT_EQ(0, mismatches);
    EXPECT_LE(final, settled + AllowedGrowth);
    DeletePlugInSettingsKey(stem);
}

TEST(Soak, LargeSelectionInEachMode)
{
    const std::string stem = "SoakLarge";
    LoadedPlugIn plugin(CopyPlugIn(stem + ".dll"));
    ASSERT_TRUE(plugin.Loaded());
    ScriptedHost host;
    const std::u16string unit = u"x&#26085;y\\u65e5 ";
    std::u16string& selection = host.script.selection;
    selection.reserve(32 * 1024 * 1024);
    while (selection.size() + unit.size() <= 32 * 1024 * 1024)
        selection += unit;
    for (std::int32_t mode = 0; mode <= 1; ++mode) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        StoreModeDword(stem, static_cast<DWORD>(mode));
        host.ClearLog();
        const auto start = std::chrono::steady_clock::now();
        plugin.OnCommand(host.Window());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("soak: a %.0f MiB selection in mode %d took %.3f s through the DLL\n",
                    static_cast<double>(selection.size() * sizeof(char16_t)) / (1024 * 1024), mode, seconds);
        ASSERT_EQ(1u, host.inserted.size());
        std::u16string expected = selection;
        DecodeText(&expected[0], static_cast<DecodeMode>(mode));
        EXPECT_TRUE(SameText(expected.c_str(), host.inserted[0]));
        host.inserted.clear();
    }
    DeletePlugInSettingsKey(stem);
}

}  // namespace
