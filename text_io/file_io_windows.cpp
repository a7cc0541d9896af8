// Files on Windows: UTF-8 paths become UTF-16 for the wide functions.
#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <process.h>
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

std::string SystemErrorText(DWORD code)
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

void PrepareProcess()
{
    // Text mode would turn "\n" into "\r\n" and stop reading at Ctrl+Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::FILE* OpenForReading(const std::string& path, std::string& error)
{
    std::FILE* file = _wfopen(Utf8ToWide(path).c_str(), L"rb");
    if (file == nullptr)
        error = std::strerror(errno);
    return file;
}

std::uint64_t InputFile::SizeHint() const
{
    struct _stat64 info;
    if (_fstat64(_fileno(file_), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG || info.st_size < 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

bool ReplacementFile::Prepare(const std::string& target, std::string& error)
{
    resolved_ = target;
    struct _stat64 info;
    if (_wstat64(Utf8ToWide(target).c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = std::strerror(errno);
            return false;
        }
        exists_ = false;
        return true;
    }
    if ((info.st_mode & _S_IFMT) != _S_IFREG) {
        error = "not a regular file";
        return false;
    }
    exists_ = true;
    const DWORD attributes = GetFileAttributesW(Utf8ToWide(target).c_str());
    mode_ = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & KeptAttributes;
    return true;
}

bool ReplacementFile::Open(std::string& error)
{
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        tempPath_ = TemporaryNameBeside(resolved_, static_cast<unsigned long>(_getpid()));
        descriptor = _wopen(Utf8ToWide(tempPath_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                            _S_IREAD | _S_IWRITE);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0) {
        error = std::string("cannot create a temporary file beside it: ") + std::strerror(errno);
        tempPath_.clear();
        return false;
    }
    stream_ = _fdopen(descriptor, "wb");
    if (stream_ == nullptr) {
        error = std::strerror(errno);
        _close(descriptor);
        Discard();
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(std::string& error)
{
    if (!Flush() || _commit(_fileno(stream_)) != 0) {
        error = "cannot write: " + (error_.empty() ? std::string(std::strerror(errno)) : error_);
        Discard();
        return false;
    }
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (closed != 0) {
        error = std::string("cannot write: ") + std::strerror(errno);
        Discard();
        return false;
    }
    // The new content keeps the file's attributes, read-only included; where
    // the system refuses to replace a read-only file, the rename says so.
    const std::wstring temp = Utf8ToWide(tempPath_);
    if (mode_ != 0 && !SetFileAttributesW(temp.c_str(), static_cast<DWORD>(mode_))) {
        error = "cannot set attributes: " + SystemErrorText(GetLastError());
        Discard();
        return false;
    }
    if (!MoveFileExW(temp.c_str(), Utf8ToWide(resolved_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "cannot replace: " + SystemErrorText(GetLastError());
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

void ReplacementFile::Discard()
{
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!tempPath_.empty()) {
        const std::wstring temp = Utf8ToWide(tempPath_);
        SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be removed
        _wremove(temp.c_str());
        tempPath_.clear();
    }
}
