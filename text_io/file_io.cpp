// The parts of the file layer that are the same on every platform; the
// system calls behind them are in file_io_posix.cpp and file_io_windows.cpp.
#include "file_io.h"

#include <cstring>

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

InputFile::~InputFile()
{
    Close();
}

bool InputFile::ReadFully(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error)
{
    got = 0;
    while (got < count) {
        std::size_t more = 0;
        if (!Read(buffer + got, count - got, more, error))
            return false;
        if (more == 0)
            break;
        got += more;
    }
    return true;
}

ReplacementFile::~ReplacementFile()
{
    Discard();
}

bool ReplacementFile::Open(std::string& error)
{
    if (CreateTemporary(error))
        return true;
    error = "cannot create a temporary file beside it: " + error;
    return false;
}

bool ReplacementFile::Commit(std::string& error)
{
    if (!error_.empty()) {
        error = "cannot write: " + error_;
        Discard();
        return false;
    }
    if (!SaveAttributes(error) || !PutInPlace(error)) {
        Discard();
        return false;
    }
    return true;
}

void ReplacementFile::Discard()
{
    RemoveTemporary();
}

FileLock::~FileLock()
{
    Release();
}

bool FileLock::Acquire(const std::string& path, FileIdentity& identity, std::string& error)
{
    for (;;) {
        bool replaced = false;
        if (!TryAcquireOnce(path, identity, replaced, error))
            return false;
        if (!replaced)
            return true;
        Release();  // the file that was waited for is gone: wait for the new one
    }
}
