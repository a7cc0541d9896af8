// The settings store from inside: the test program links the store itself
// and names copies of the plug-in with chosen names as the module.
#include "plugin_harness.h"
#include "settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override { stem = TestStem(); }
    void TearDown() override
    {
        for (HMODULE module : modules)
            FreeLibrary(module);
        DeletePlugInSettingsKey(stem);
    }
    // Loads a copy of the plug-in at `relativePath` and makes it the module
    // whose name the store is given.
    bool UseModule(const std::string& relativePath)
    {
        HMODULE module = LoadPlugInCopy(CopyPlugIn(relativePath));
        if (module == nullptr)
            return false;
        modules.push_back(module);
        current = module;
        return true;
    }

    HMODULE current = nullptr;
    std::string stem;
    std::vector<HMODULE> modules;
};

struct StoredValueRow {
    const char* name;
    bool exists;
    DWORD type;
    std::vector<BYTE> data;
    std::int32_t mode;
};

TEST_F(SettingsStoreTest, LoadTakesTheStoredValue)
{
    // clang-format off
    const StoredValueRow rows[] = {
        {"no key yet", false, 0, {}, 0},
        {"REG_DWORD 1", true, REG_DWORD, {1, 0, 0, 0}, 1},
        {"REG_DWORD 0", true, REG_DWORD, {0, 0, 0, 0}, 0},
        {"REG_DWORD 7", true, REG_DWORD, {7, 0, 0, 0}, 7},
        {"REG_DWORD all bits", true, REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
        {"4 bytes of REG_BINARY", true, REG_BINARY, {1, 0, 0, 0}, 1},
        {"4 bytes, high byte first set", true, REG_BINARY, {0, 0, 0, 1}, 0x01000000},
        {"8 bytes", true, REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"1 byte", true, REG_BINARY, {1}, 1},
        {"2 bytes", true, REG_BINARY, {1, 2}, 0x0201},
        {"no bytes", true, REG_BINARY, {}, 0},
    };
    // clang-format on
    ASSERT_TRUE(UseModule(stem + ".dll"));
    for (const StoredValueRow& row : rows) {
        SCOPED_TRACE(row.name);
        DeletePlugInSettingsKey(stem);
        if (row.exists)
            StoreModeValue(stem, row.type, row.data);
        std::int32_t mode = 12345;
        EXPECT_EQ(TRUE, LoadSettings(current, &mode));
        EXPECT_EQ(row.mode, mode);
        EXPECT_TRUE(SettingsKeyExists(stem));
    }
}

TEST_F(SettingsStoreTest, FirstLoadCreatesAnEmptyKey)
{
    ASSERT_TRUE(UseModule(stem + ".dll"));
    DeletePlugInSettingsKey(stem);
    std::int32_t mode = 1;
    EXPECT_EQ(TRUE, LoadSettings(current, &mode));
    EXPECT_EQ(0, mode);
    EXPECT_EQ(0, CountSettingsValues(stem));
}

TEST_F(SettingsStoreTest, SaveWritesADword)
{
    static const std::int32_t modes[] = {0, 1, 2, -1};
    ASSERT_TRUE(UseModule(stem + ".dll"));
    for (std::int32_t mode : modes) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        StoreModeValue(stem, REG_BINARY, {9, 9});
        EXPECT_EQ(TRUE, SaveSettings(current, mode));
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(ReadModeValue(stem, type, data));
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
        ASSERT_EQ(4u, data.size());
        std::int32_t stored;
        std::memcpy(&stored, data.data(), 4);
        EXPECT_EQ(mode, stored);
        EXPECT_EQ(1, CountSettingsValues(stem));
    }
}

TEST_F(SettingsStoreTest, DeleteRemovesOnlyThePlugInKey)
{
    ASSERT_TRUE(UseModule(stem + ".dll"));
    ASSERT_EQ(TRUE, SaveSettings(current, 1));
    DeleteSettingsKey(current);
    EXPECT_FALSE(SettingsKeyExists(stem));
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tarvik\\LexivanePlugIns", 0, KEY_READ, &parent));
    RegCloseKey(parent);
    // Deleting again, with no key, is harmless; loading creates it anew.
    DeleteSettingsKey(current);
    std::int32_t mode = 1;
    EXPECT_EQ(TRUE, LoadSettings(current, &mode));
    EXPECT_EQ(0, mode);
    EXPECT_EQ(0, CountSettingsValues(stem));
}

TEST_F(SettingsStoreTest, KeyThatCannotBeOpenedKeepsTheMode)
{
    ASSERT_TRUE(UseModule(stem + ".dll"));
    StoreModeDword(stem, 1);
    std::int32_t mode = 0;
    ASSERT_EQ(TRUE, LoadSettings(current, &mode));
    ASSERT_EQ(1, mode);
    {
        UnusableCurrentUser unusable;
        ASSERT_TRUE(unusable.Active());
        EXPECT_EQ(nullptr, OpenSettingsKey(current));
        EXPECT_EQ(FALSE, LoadSettings(current, &mode));
        EXPECT_EQ(1, mode);
        EXPECT_EQ(FALSE, SaveSettings(current, 0));
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadModeValue(stem, type, data));
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), data);
}

struct StemRow {
    const char* relativePath;
    const char* stem;
};

TEST_F(SettingsStoreTest, BaseNameIsTheFileNameBeforeItsFirstDot)
{
    // clang-format off
    const StemRow rows[] = {
        {"Plug.Ins\\Widget.beta.dll", "Widget"},
        {"Widget.dll", "Widget"},
        {"two.dots.here.dll", "two"},
        {"a.b\\c.d\\Plain.dll", "Plain"},
        {"Space Name.x.dll", "Space Name"},
        {".hidden.dll", ""},
    };
    // clang-format on
    for (const StemRow& row : rows) {
        SCOPED_TRACE(row.relativePath);
        ASSERT_TRUE(UseModule(row.relativePath));
        char stemBuffer[MAX_PATH] = {};
        EXPECT_EQ(TRUE, GetModuleStem(current, stemBuffer));
        EXPECT_STREQ(row.stem, stemBuffer);
        char path[MAX_PATH] = {};
        EXPECT_EQ(TRUE, GetSettingsKeyPath(current, path));
        EXPECT_EQ(PlugInSettingsKey(row.stem), std::string(path));
    }
}

TEST_F(SettingsStoreTest, LongestBaseNameFillsTheKeyPath)
{
    stem = std::string(227, 'w');
    ASSERT_TRUE(UseModule(stem + ".dll"));
    char path[MAX_PATH + 8];
    std::memset(path, 0x5A, sizeof path);
    ASSERT_EQ(TRUE, GetSettingsKeyPath(current, path));
    EXPECT_EQ(259u, std::strlen(path));
    EXPECT_EQ(PlugInSettingsKey(stem), std::string(path));
    EXPECT_EQ(0x5A, path[MAX_PATH]);
    EXPECT_EQ(TRUE, SaveSettings(current, 1));
    EXPECT_TRUE(SettingsKeyExists(stem));
}

// With a module whose name gives no settings key: no key path, nothing
// opened, and loading and saving fail and leave the mode as it was.
void ExpectNoSettingsKey(HMODULE module)
{
    char path[MAX_PATH];
    std::memset(path, 0x5A, sizeof path);
    EXPECT_EQ(FALSE, GetSettingsKeyPath(module, path));
    EXPECT_EQ(0x5A, path[0]);
    std::int32_t mode = 7;
    EXPECT_EQ(nullptr, OpenSettingsKey(module));
    EXPECT_EQ(FALSE, LoadSettings(module, &mode));
    EXPECT_EQ(7, mode);
    EXPECT_EQ(FALSE, SaveSettings(module, mode));
}

TEST_F(SettingsStoreTest, TooLongBaseNameOpensNothing)
{
    stem = std::string(228, 'v');
    ASSERT_TRUE(UseModule(stem + ".dll"));
    ExpectNoSettingsKey(current);
    EXPECT_FALSE(SettingsKeyExists(std::string(227, 'v')));
    DeleteSettingsKey(current);  // nothing to delete, nothing deleted
}

TEST_F(SettingsStoreTest, ModuleWithoutANameOpensNothing)
{
    StoreModeDword(stem, 1);
    current = reinterpret_cast<HMODULE>(static_cast<UINT_PTR>(0x10));  // no module there
    char buffer[MAX_PATH];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(FALSE, GetModuleStem(current, buffer));
    EXPECT_EQ(0x5A, buffer[0]);
    ExpectNoSettingsKey(current);
    DeleteSettingsKey(current);
    EXPECT_TRUE(SettingsKeyExists(stem));
}

TEST_F(SettingsStoreTest, ModulePathLongerThanTheBuffers)
{
    // A folder deep enough that the module's full name needs more than
    // MAX_PATH bytes.
    std::string folder;
    while (folder.size() < 240)
        folder += "deepfolder\\";
    const std::string relativePath = folder + stem + ".dll";
    ASSERT_TRUE(UseModule(relativePath));
    char buffer[MAX_PATH];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(FALSE, GetModuleStem(current, buffer));
    EXPECT_EQ(0x5A, buffer[0]);
    ExpectNoSettingsKey(current);
}

struct DotRow {
    UINT codePage;  // the ANSI code page the row applies to, 0 for every one
    const char* name;
    const char* cut;
};

// The first '.' in the process's ANSI code page: under a double-byte code
// page a lead byte takes the byte after it, 0x2E included.
TEST(ModuleStem, CutsAtTheFirstDotOfTheAnsiCodePage)
{
    // clang-format off
    static const DotRow rows[] = {
        {0, "Widget.beta.dll", "Widget"},
        {0, "NoDot", "NoDot"},
        {0, ".dll", ""},
        {1252, "\x81.x.dll", "\x81"},
        {932, "\x81.x.dll", "\x81.x"},
        {932, "\x83\x5C.dll", "\x83\x5C"},
        {932, "a\xE0", "a\xE0"},
        {932, "\xA1.dll", "\xA1"},  // a single-byte katakana, no lead byte
        {936, "\x81.x.dll", "\x81.x"},
        {936, "\xA1.dll", "\xA1.dll"},
    };
    // clang-format on
    const UINT codePage = GetACP();
    // The suite runs once per language; make sure the run got its code page.
    char locale[32] = {};
    GetEnvironmentVariableA("LC_ALL", locale, sizeof locale);
    if (std::strncmp(locale, "ja_JP", 5) == 0) {
        ASSERT_EQ(932u, codePage);
    }
    if (std::strncmp(locale, "zh_CN", 5) == 0) {
        ASSERT_EQ(936u, codePage);
    }
    for (const DotRow& row : rows) {
        if (row.codePage != 0 && row.codePage != codePage)
            continue;
        SCOPED_TRACE(testing::Message() << "code page " << codePage << ", name " << row.name);
        char name[64];
        std::strcpy(name, row.name);
        CutAtFirstDot(name);
        EXPECT_STREQ(row.cut, name);
    }
}

}  // namespace
