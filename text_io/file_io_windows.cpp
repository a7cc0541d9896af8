// Files on Windows: UTF-8 paths become UTF-16 for the wide functions.
#include "file_io.h"

#include "system_calls.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
    return wide;
}

// The path as the wide functions take it. A full path of MAX_PATH
// characters or more goes in its "\\?\" form, which has no such limit;
// shorter ones stay as they are, so that device names such as "NUL" keep
// their meaning.
std::wstring SystemPath(const std::string& path)
{
    const std::wstring wide = Utf8ToWide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size <= MAX_PATH)  // short (the size counts the terminator), or no path at all
        return wide;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return wide;
    full.resize(length);
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The attributes that a rewritten file keeps.
const DWORD KeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The largest count that the runtime's read and write take at once.
const std::size_t MaxTransfer = 1u << 30;

std::string LastErrorText()
{
    return WindowsErrorText(GetLastError());
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t split = path.find_last_of("/\\:");
    return split == std::string::npos ? std::string() : path.substr(0, split + 1);
}

// A handle for asking about the file that `path` names, links followed.
HANDLE OpenForQuery(const std::string& path)
{
    return CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    FileIdentity identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return identity;
}

// The longest path that the wide functions take, with its terminator.
const DWORD LongestPathUnits = 32768;

// The path of the file that `handle` is open on, with every link resolved.
bool FinalPath(HANDLE handle, std::string& path)
{
    wchar_t buffer[LongestPathUnits];
    const DWORD length =
        GetFinalPathNameByHandleW(handle, buffer, LongestPathUnits, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= LongestPathUnits)
        return false;
    std::wstring wide(buffer, length);
    if (wide.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        wide = L"\\\\" + wide.substr(8);
    else if (wide.compare(0, 4, L"\\\\?\\") == 0)
        wide = wide.substr(4);
    path = WideToUtf8(wide.c_str());
    return true;
}

// A file that is no link is its own final path. (Wine gives no final path
// of more than MAX_PATH characters.)
bool IsNoLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

HANDLE DescriptorHandle(int descriptor)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

}  // namespace

std::string WideToUtf8(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.pop_back();  // the terminator
    return utf8;
}

// Room for a system error message; a longer one is cut.
const DWORD ErrorTextUnits = 512;

std::string WindowsErrorText(unsigned long code)
{
    // In UTF-16, as every text of the program is UTF-8, whatever the code page.
    wchar_t buffer[ErrorTextUnits];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, ErrorTextUnits, nullptr);
    buffer[length < ErrorTextUnits ? length : ErrorTextUnits - 1] = L'\0';
    std::string text = WideToUtf8(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error " + std::to_string(code);
    return text;
}

namespace system_calls {

int OpenForReading(const std::string& path)
{
    return _wopen(SystemPath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

long long ReadSome(int descriptor, unsigned char* buffer, std::size_t count)
{
    return _read(descriptor, buffer, static_cast<unsigned>(count < MaxTransfer ? count : MaxTransfer));
}

long long WriteSome(int descriptor, const unsigned char* bytes, std::size_t count)
{
    return _write(descriptor, bytes, static_cast<unsigned>(count < MaxTransfer ? count : MaxTransfer));
}

void Close(int descriptor)
{
    _close(descriptor);
}

bool RegularFileSize(int descriptor, std::uint64_t& size)
{
    struct _stat64 info;
    if (_fstat64(descriptor, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG || info.st_size < 0)
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

// A descriptor without a handle, or whose handle is none, counts as closed.
bool RegularFileIdentity(int descriptor, FileIdentity& identity)
{
    const HANDLE handle = DescriptorHandle(descriptor);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
        identity = IdentityOf(info);
        return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    // A handle without the right to read attributes (Wine gives such a one
    // for a redirected standard stream) still tells the file's id, though
    // perhaps not its volume.
    FILE_ID_INFO id;
    if (!GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id))
        return false;
    std::uint64_t index = 0;
    std::memcpy(&index, id.FileId.Identifier, sizeof index);
    identity.volume = id.VolumeSerialNumber;
    identity.index = index;
    return true;
}

bool IsOpen(int descriptor)
{
    const intptr_t handle = _get_osfhandle(descriptor);
    return handle != -1 && handle != -2 && handle != 0;
}

void OpenNullDevice(int descriptor, bool forWriting)
{
    const int opened = _open("NUL", (forWriting ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
    if (opened >= 0 && opened != descriptor) {
        _dup2(opened, descriptor);
        _close(opened);
    }
}

bool IsConsole(int descriptor)
{
    DWORD mode;
    return GetConsoleMode(DescriptorHandle(descriptor), &mode) != 0;
}

bool WriteConsoleUnits(int descriptor, const char16_t* units, std::size_t count)
{
    // Older consoles take no more than some 64 KiB at once.
    const std::size_t MaxUnits = 8192;
    while (count > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(count < MaxUnits ? count : MaxUnits);
        if (!WriteConsoleW(DescriptorHandle(descriptor), units, chunk, &written, nullptr) || written == 0)
            return false;
        units += written;
        count -= written;
    }
    return true;
}

}  // namespace system_calls

std::vector<std::string> MatchingFiles(const std::string& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(SystemPath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    // In the order of the names, letter case aside, as a folder lists them.
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<std::string> files;
    const std::string folder = DirectoryOf(pattern);
    for (const std::wstring& name : names)
        files.push_back(folder + WideToUtf8(name.c_str()));
    return files;
}

void PrepareProcess()
{
    OpenStandardDescriptors();
    // Text mode would turn "\n" into "\r\n" and stop reading at Ctrl+Z.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
}

bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error)
{
    const HANDLE handle = OpenForQuery(path);
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info);
    if (!known)
        error = LastErrorText();
    else
        identity = IdentityOf(info);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return known;
}

bool ReplacementFile::Prepare(const std::string& target, std::string& error)
{
    // An existing file is named by its final path, links resolved, so that
    // the new content goes to the file and the link stays.
    resolved_ = target;
    const HANDLE handle = OpenForQuery(target);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            error = WindowsErrorText(code);
            return false;
        }
        exists_ = false;
        return true;
    }
    // A device (NUL, CON) or a pipe is written as a stream.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        stream_ = true;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool regular =
        GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool resolved = regular && (FinalPath(handle, resolved_) || IsNoLink(target));
    CloseHandle(handle);
    if (!regular) {
        error = "not a regular file";
        return false;
    }
    if (!resolved) {
        error = LastErrorText();
        return false;
    }
    exists_ = true;
    mode_ = info.dwFileAttributes & KeptAttributes;
    return true;
}

bool ReplacementFile::OpenStream(std::string& error)
{
    const HANDLE handle = CreateFileW(SystemPath(resolved_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = "cannot open: " + LastErrorText();
        return false;
    }
    descriptor_ = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor_ < 0) {
        error = "cannot open: " + ErrnoText(errno);
        CloseHandle(handle);
        return false;
    }
    return true;
}

// Names tried for a temporary file before giving up, each taken by another
// file already.
const int TemporaryNameTries = 1000;

bool ReplacementFile::CreateTemporary(std::string& error)
{
    // The name is made here: GetTempFileName takes no folder of more than
    // MAX_PATH - 14 characters, and deep folders have longer ones.
    const std::string directory = DirectoryOf(resolved_);
    static unsigned serial = GetTickCount();
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < TemporaryNameTries && handle == INVALID_HANDLE_VALUE; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "dec%lX-%X.tmp", GetCurrentProcessId(), serial++);
        tempPath_ = directory + name;
        handle = CreateFileW(SystemPath(tempPath_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        tempPath_.clear();
        return false;
    }
    descriptor_ = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor_ < 0) {
        error = ErrnoText(errno);
        CloseHandle(handle);
        RemoveTemporary();
        return false;
    }
    return true;
}

bool ReplacementFile::TemporaryIdentity(FileIdentity& identity) const
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(DescriptorHandle(descriptor_), &info))
        return false;
    identity = IdentityOf(info);
    return true;
}

bool ReplacementFile::SaveAttributes(std::string& error)
{
    if (_commit(descriptor_) != 0) {
        error = "cannot write: " + ErrnoText(errno);
        return false;
    }
    const int closed = _close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) {
        error = "cannot write: " + ErrnoText(errno);
        return false;
    }
    if (mode_ != 0 && !SetFileAttributesW(SystemPath(tempPath_).c_str(), static_cast<DWORD>(mode_))) {
        error = "cannot set attributes: " + LastErrorText();
        return false;
    }
    return true;
}

bool ReplacementFile::PutInPlace(std::string& error)
{
    // A read-only file is rewritten like any other, and stays read-only:
    // the new content carries the attribute, the old one gives it up for
    // the moment of the replacement.
    const std::wstring temp = SystemPath(tempPath_);
    const std::wstring target = SystemPath(resolved_);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        error = "cannot replace: " + LastErrorText();
        return false;
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot replace: " + LastErrorText();
        if (readOnly)
            SetFileAttributesW(target.c_str(), attributes);
        return false;
    }
    tempPath_.clear();
    return true;
}

void ReplacementFile::RemoveTemporary()
{
    if (descriptor_ >= 0) {
        _close(descriptor_);
        descriptor_ = -1;
    }
    if (!tempPath_.empty()) {
        const std::wstring temp = SystemPath(tempPath_);
        SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be removed
        DeleteFileW(temp.c_str());
        tempPath_.clear();
    }
}

void ReplacementFile::ReleaseTarget()
{ }

// Room for the lock's name: its prefix and the file's identity in hexadecimal.
const std::size_t LockNameUnits = 96;

bool FileLock::TryAcquireOnce(const std::string& path, FileIdentity& identity, bool& replaced, std::string& error)
{
    // Runs that rewrite the same file agree on a mutex named after it.
    if (!IdentifyFile(path, identity, error)) {
        error = "cannot open: " + error;
        return false;
    }
    wchar_t name[LockNameUnits];
    swprintf(name, LockNameUnits, L"Local\\EscapeTextFileLock-%08llX-%016llX",
             static_cast<unsigned long long>(identity.volume), static_cast<unsigned long long>(identity.index));
    mutex_ = CreateMutexW(nullptr, FALSE, name);
    const DWORD waited = mutex_ == nullptr ? WAIT_FAILED : WaitForSingleObject(mutex_, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        error = "cannot lock: " + LastErrorText();
        if (mutex_ != nullptr)
            CloseHandle(mutex_);
        mutex_ = nullptr;
        return false;
    }
    FileIdentity now;
    std::string ignored;
    replaced = !IdentifyFile(path, now, ignored) || now.volume != identity.volume || now.index != identity.index;
    return true;
}

void FileLock::Release()
{
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    mutex_ = nullptr;
}

// The backup takes a temporary name beside its place first, so that an
// older backup is replaced by one move and never missing.
bool KeepBackup(const std::string& path, const std::string& backup, std::string& error)
{
    const std::wstring original = SystemPath(path);
    const std::wstring target = SystemPath(backup);
    const std::wstring temporary = SystemPath(backup + "." + std::to_string(GetCurrentProcessId()) + ".tmp");
    DeleteFileW(temporary.c_str());
    if (!CreateHardLinkW(temporary.c_str(), original.c_str(), nullptr) &&
        !CopyFileW(original.c_str(), temporary.c_str(), TRUE)) {
        error = "cannot keep a backup: " + LastErrorText();
        return false;
    }
    // An older read-only backup gives way like any other.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot keep a backup: " + LastErrorText();
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
