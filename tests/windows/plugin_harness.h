// What the Windows tests need around the plug-in: copies of the built DLL
// under names of their own, the exports looked up by ordinal, and the
// registry key that belongs to each copy.
#ifndef TESTS_WINDOWS_PLUGIN_HARNESS_H
#define TESTS_WINDOWS_PLUGIN_HARNESS_H

#include "plugin_module.h"
#include "plugin_settings.h"
#include "same_text.h"

#include "scripted_host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The folder of the test program, where the build puts the plug-in too.
std::string ProgramFolder();

// The built plug-in.
std::string BuiltPlugInPath();

// A folder of this test run, removed when the program ends.
std::string ScratchFolder();

// Copies the built plug-in to ScratchFolder()\relativePath, making the
// folders on the way, and returns the copy's full path.
std::string CopyPlugIn(const std::string& relativePath);

// Loads a plug-in copy, also from paths longer than MAX_PATH.
HMODULE LoadPlugInCopy(const std::string& path);

// A plug-in copy loaded into the process, with its exports looked up by
// ordinal. Freed when it goes out of scope.
struct LoadedPlugIn : PlugInExports {
    explicit LoadedPlugIn(const std::string& path);
    ~LoadedPlugIn();
    LoadedPlugIn(const LoadedPlugIn&) = delete;
    LoadedPlugIn& operator=(const LoadedPlugIn&) = delete;

    bool Loaded() const;
    FARPROC Export(int ordinal) const;

    HMODULE module = nullptr;
    bool found = false;  // every export was found
};

// One copy of the plug-in for the tests that only read from it (resources,
// image answers), loaded on first use and kept for the whole run.
LoadedPlugIn& SharedPlugIn();

// Registry, under the key that PlugInSettingsKey names.
bool SettingsKeyExists(const std::string& stem);
void DeletePlugInSettingsKey(const std::string& stem);
void StoreModeValue(const std::string& stem, DWORD type, const std::vector<BYTE>& data);
void StoreModeDword(const std::string& stem, DWORD mode);
// The "Mode" value's type and bytes; false when there is none.
bool ReadModeValue(const std::string& stem, DWORD& type, std::vector<BYTE>& data);
// The number of values under the key, or -1 when it does not exist.
int CountSettingsValues(const std::string& stem);

// HKEY_CURRENT_USER mapped onto a key that has been deleted, for as long as
// the object lives: no key can be opened or created below it.
class UnusableCurrentUser {
public:
    UnusableCurrentUser();
    ~UnusableCurrentUser();
    UnusableCurrentUser(const UnusableCurrentUser&) = delete;
    UnusableCurrentUser& operator=(const UnusableCurrentUser&) = delete;
    bool Active() const { return overridden_; }

private:
    HKEY key_ = nullptr;
    bool overridden_ = false;
};

// A name for the running test that no other test uses: the test's own name
// with the characters a file name cannot hold replaced.
std::string TestStem();

// Calls `function` with `count` pointer-sized arguments (at most four) the
// way the host calls an export, and returns how many bytes the function
// removed from the stack: on x86 the callee of a standard call removes its
// arguments, on x64 the caller owns the stack and the callee removes none.
extern "C" unsigned MeasureCalleePop(FARPROC function, unsigned count, const UINT_PTR* arguments);

// A test with a copy of the plug-in of its own, named after the test, so
// that its settings key is its own too, and a scripted host window.
class PlugInCopyTest : public testing::Test {
public:
    static constexpr DWORD NoStoredMode = 0xDEADBEEF;  // StoreMode: leave the registry without a key

protected:
    void SetUp() override;
    void TearDown() override;
    // Stores `mode` as a REG_DWORD, or removes the key for NoStoredMode.
    void StoreMode(DWORD mode);

    std::string stem;
    std::unique_ptr<LoadedPlugIn> plugin;
    ScriptedHost host;
};

// Runs the thread's message queue until it is empty.
void PumpMessages();

#endif
