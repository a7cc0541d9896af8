#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// The wide form with the "\\?\" prefix, which lifts the MAX_PATH limit of
// the file functions, so that tests can place modules in deep folders.
std::basic_string<WCHAR> ExtendedPath(const std::string& path)
{
    std::basic_string<WCHAR> wide(path.size() + 1, 0);
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    const WCHAR prefix[] = {'\\', '\\', '?', '\\', 0};
    return prefix + wide;
}

void MakeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryW(ExtendedPath(path.substr(0, slash)).c_str(), nullptr);
    CreateDirectoryW(ExtendedPath(path).c_str(), nullptr);
}

void RemoveTree(const std::basic_string<WCHAR>& folder)
{
    const WCHAR all[] = {'\\', '*', 0};
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + all).c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::basic_string<WCHAR> name = entry.cFileName;
            if (name[0] == '.' && (name.size() == 1 || (name.size() == 2 && name[1] == '.')))
                continue;
            const std::basic_string<WCHAR> path = folder + all[0] + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Removes the scratch folder when the test program ends.
class ScratchCleanup : public testing::Environment {
public:
    void TearDown() override { RemoveTree(ExtendedPath(ScratchFolder())); }
};

const testing::Environment* const scratchCleanup = testing::AddGlobalTestEnvironment(new ScratchCleanup);

}  // namespace

std::string ProgramFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return FolderOf(path);
}

std::string BuiltPlugInPath()
{
    return ProgramFolder() + "\\" PLUGIN_FILE_NAME;
}

std::string ScratchFolder()
{
    // Short, so that the long base names of some tests still fit MAX_PATH.
    static const std::string folder = [] {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\pt%lu", GetCurrentProcessId());
        MakeFolders(name);
        return std::string(name);
    }();
    return folder;
}

std::string CopyPlugIn(const std::string& relativePath)
{
    const std::string path = ScratchFolder() + "\\" + relativePath;
    MakeFolders(FolderOf(path));
    if (!CopyFileW(ExtendedPath(BuiltPlugInPath()).c_str(), ExtendedPath(path).c_str(), FALSE))
        ADD_FAILURE() << "cannot copy the plug-in to " << path << ", error " << GetLastError();
    return path;
}

HMODULE LoadPlugInCopy(const std::string& path)
{
    return LoadLibraryW(ExtendedPath(path).c_str());
}

LoadedPlugIn::LoadedPlugIn(const std::string& path) : PlugInExports()
{
    module = LoadPlugInCopy(path);
    std::string error;
    found = module != nullptr && FindPlugInExports(module, *this, error);
    if (module != nullptr && !found)
        ADD_FAILURE() << path << ": " << error;
}

LoadedPlugIn::~LoadedPlugIn()
{
    if (module != nullptr)
        FreeLibrary(module);
}

LoadedPlugIn& SharedPlugIn()
{
    static LoadedPlugIn plugin(CopyPlugIn("Shared.dll"));
    return plugin;
}

bool LoadedPlugIn::Loaded() const
{
    return module != nullptr && found;
}

FARPROC LoadedPlugIn::Export(int ordinal) const
{
    return GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
}

bool SettingsKeyExists(const std::string& stem)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeletePlugInSettingsKey(const std::string& stem)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str());
}

void StoreModeValue(const std::string& stem, DWORD type, const std::vector<BYTE>& data)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Mode", 0, type, data.empty() ? nullptr : data.data(),
                                            static_cast<DWORD>(data.size())));
    RegCloseKey(key);
}

void StoreModeDword(const std::string& stem, DWORD mode)
{
    ASSERT_TRUE(StorePlugInMode(stem, mode)) << stem;
}

bool ReadModeValue(const std::string& stem, DWORD& type, std::vector<BYTE>& data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE buffer[64];
    DWORD size = sizeof buffer;
    const bool found = RegQueryValueExA(key, "Mode", nullptr, &type, buffer, &size) == ERROR_SUCCESS;
    if (found)
        data.assign(buffer, buffer + size);
    RegCloseKey(key);
    return found;
}

int CountSettingsValues(const std::string& stem)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PlugInSettingsKey(stem).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(values + subkeys);
}

UnusableCurrentUser::UnusableCurrentUser()
{
    const char* name = "Software\\PlugInTestsDeleted";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegDeleteKeyA(HKEY_CURRENT_USER, name);
    overridden_ = RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
}

UnusableCurrentUser::~UnusableCurrentUser()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
}

std::string TestStem()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string stem = std::string(test->test_suite_name()) + "_" + test->name();
    for (char& c : stem) {
        if (c == '/' || c == '.' || c == '\\' || c == ':')
            c = '_';
    }
    return stem;
}

void PlugInCopyTest::SetUp()
{
    stem = TestStem();
    DeletePlugInSettingsKey(stem);
    plugin.reset(new LoadedPlugIn(CopyPlugIn(stem + ".dll")));
    ASSERT_TRUE(plugin->Loaded());
    ASSERT_NE(nullptr, host.Window());
}

void PlugInCopyTest::TearDown()
{
    plugin.reset();
    DeletePlugInSettingsKey(stem);
}

void PlugInCopyTest::StoreMode(DWORD mode)
{
    if (mode == NoStoredMode)
        DeletePlugInSettingsKey(stem);
    else
        StoreModeDword(stem, mode);
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

#if defined(__i386__)
// Pushes the arguments right to left, calls, and measures how far the stack
// pointer moved back up during the call: a standard-call function removes
// exactly its own arguments.
asm(R"(
    .text
    .globl _MeasureCalleePop
_MeasureCalleePop:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %ecx
    movl 16(%ebp), %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %edi
    call *8(%ebp)
    movl %esp, %eax
    subl %edi, %eax
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");
#elif defined(__x86_64__)
// The first four arguments go in rcx, rdx, r8 and r9, with 32 bytes of room
// above the return address that belong to the callee; the stack pointer is
// compared before and after the call.
asm(R"(
    .text
    .globl MeasureCalleePop
MeasureCalleePop:
    pushq %rbp
    movq %rsp, %rbp
    pushq %rbx
    subq $40, %rsp
    movq %rcx, %rax
    movl %edx, %r11d
    movq %r8, %r10
    xorl %ecx, %ecx
    xorl %edx, %edx
    xorl %r8d, %r8d
    xorl %r9d, %r9d
    cmpl $1, %r11d
    jb 1f
    movq (%r10), %rcx
    cmpl $2, %r11d
    jb 1f
    movq 8(%r10), %rdx
    cmpl $3, %r11d
    jb 1f
    movq 16(%r10), %r8
    cmpl $4, %r11d
    jb 1f
    movq 24(%r10), %r9
1:  movq %rsp, %rbx
    call *%rax
    movq %rsp, %rax
    subq %rbx, %rax
    addq $40, %rsp
    popq %rbx
    popq %rbp
    ret
)");
#endif
