// The DLL's export table and calling convention, as a host sees them.
#include "plugin_harness.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Exports, SevenNamesAtOrdinalsOneToSeven)
{
    LoadedPlugIn plugin(CopyPlugIn("ExportsTable.dll"));
    ASSERT_TRUE(plugin.Loaded());
    const BYTE* base = reinterpret_cast<const BYTE*>(plugin.module);
    const IMAGE_NT_HEADERS* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    EXPECT_EQ(1u, exports->Base);
    EXPECT_EQ(7u, exports->NumberOfFunctions);
    ASSERT_EQ(7u, exports->NumberOfNames);

    const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const WORD* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    std::map<std::string, int> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        found[reinterpret_cast<const char*>(base + names[i])] = ordinals[i] + static_cast<int>(exports->Base);
    for (int ordinal = 1; ordinal <= 7; ++ordinal) {
        const char* name = PlugInExportNames[ordinal - 1];
        SCOPED_TRACE(name);
        EXPECT_EQ(ordinal, found[name]);
        EXPECT_EQ(GetProcAddress(plugin.module, name), plugin.Export(ordinal));
        EXPECT_NE(nullptr, plugin.Export(ordinal));
    }
}

// Bytes that an export removes per argument: x86 standard calls remove
// their own 4-byte arguments, the x64 convention leaves the stack to the
// caller.
const unsigned PoppedBytesPerArgument = sizeof(void*) == 4 ? 4 : 0;

// The number of arguments of a function type.
template <typename Result, typename... Arguments>
constexpr unsigned ArgumentCount(Result(WINAPI*)(Arguments...))
{
    return sizeof...(Arguments);
}

struct PopRow {
    int ordinal;
    unsigned argumentCount;
};

#define PLUGIN_EXPORT_POP_ROW(ordinal, name, result, parameters)                                                       \
    {ordinal, ArgumentCount(static_cast<result(WINAPI*) parameters>(nullptr))},
const PopRow PopRows[] = {PLUGIN_EXPORTS(PLUGIN_EXPORT_POP_ROW)};
#undef PLUGIN_EXPORT_POP_ROW

// Each export leaves the stack as the host's calling convention expects: on
// x86 it removes exactly its own arguments (a wrong count would corrupt the
// host's stack), on x64 it removes none.
TEST(Exports, EachLeavesTheStackAsTheHostExpects)
{
    const std::string stem = "ExportsPop";
    StoreModeDword(stem, 5);  // a mode the command does not act on
    LoadedPlugIn plugin(CopyPlugIn(stem + ".dll"));
    ASSERT_TRUE(plugin.Loaded());
    ScriptedHost host;
    DWORD flag = 0;
    // host window; flag address or event bits; event value; unused
    const UINT_PTR arguments[4] = {reinterpret_cast<UINT_PTR>(host.Window()), reinterpret_cast<UINT_PTR>(&flag), 0, 0};
    for (const PopRow& row : PopRows) {
        UINT_PTR rowArguments[4] = {arguments[0], arguments[1], arguments[2], arguments[3]};
        if (row.ordinal == 3 || row.ordinal == 7)
            rowArguments[1] = 0;  // no event bits; message 0 is answered with 0
        EXPECT_EQ(PoppedBytesPerArgument * row.argumentCount,
                  MeasureCalleePop(plugin.Export(row.ordinal), row.argumentCount, rowArguments))
            << PlugInExportNames[row.ordinal - 1];
    }
    DeletePlugInSettingsKey(stem);
}

}  // namespace
