// Files on Windows: UTF-8 paths become UTF-16 for the wide functions.
#include "file_io.h"

#include "system_calls.h"

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
    return CreateFileW(Utf8ToWide(path).c_str(), FILE_READ_ATTRIBUTES,
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

// The path of the file that `handle` is open on, with every link resolved.
bool FinalPath(HANDLE handle, std::string& path)
{
    wchar_t buffer[32768];
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= 32768)
        return false;
    std::wstring wide(buffer, length);
    if (wide.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        wide = L"\\\\" + wide.substr(8);
    else if (wide.compare(0, 4, L"\\\\?\\") == 0)
        wide = wide.substr(4);
    path = WideToUtf8(wide.c_str());
    return true;
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

std::string WindowsErrorText(unsigned long code)
{
    char buffer[512];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error " + std::to_string(code);
    return text;
}

namespace system_calls {

int OpenForReading(const std::string& path)
{
    return _wopen(Utf8ToWide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
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

}  // namespace system_calls

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
    const bool regular = GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool resolved = regular && FinalPath(handle, resolved_);
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
    const HANDLE handle = CreateFileW(Utf8ToWide(resolved_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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

bool ReplacementFile::CreateTemporary(std::string& error)
{
    const std::string directory = DirectoryOf(resolved_);
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(Utf8ToWide(directory.empty() ? "." : directory).c_str(), L"dec", 0, name) == 0) {
        error = LastErrorText();
        return false;
    }
    tempPath_ = WideToUtf8(name);
    descriptor_ = _wopen(name, _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT);
    if (descriptor_ < 0) {
        error = ErrnoText(errno);
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
    if (mode_ != 0 && !SetFileAttributesW(Utf8ToWide(tempPath_).c_str(), static_cast<DWORD>(mode_))) {
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
    const std::wstring temp = Utf8ToWide(tempPath_);
    const std::wstring target = Utf8ToWide(resolved_);
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
        const std::wstring temp = Utf8ToWide(tempPath_);
        SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be removed
        DeleteFileW(temp.c_str());
        tempPath_.clear();
    }
}

void ReplacementFile::ReleaseTarget()
{
}

bool FileLock::TryAcquireOnce(const std::string& path, FileIdentity& identity, bool& replaced, std::string& error)
{
    // Runs that rewrite the same file agree on a mutex named after it.
    if (!IdentifyFile(path, identity, error)) {
        error = "cannot open: " + error;
        return false;
    }
    wchar_t name[96];
    swprintf(name, 96, L"Local\\EscapeTextFileLock-%08llX-%016llX", static_cast<unsigned long long>(identity.volume),
             static_cast<unsigned long long>(identity.index));
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
    const std::wstring original = Utf8ToWide(path);
    const std::wstring target = Utf8ToWide(backup);
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
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
