// The parts of the file layer that are the same on every platform; the
// system calls behind them are in file_io_posix.cpp and file_io_windows.cpp.
#include "file_io.h"

#include "system_calls.h"

#include <cerrno>
#include <cstring>

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

void OpenStandardDescriptors()
{
    // The wrong way round, so that reading standard input or writing
    // standard output still fails, as it did while it was closed.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (!system_calls::IsOpen(descriptor))
            system_calls::OpenNullDevice(descriptor, descriptor == 0);
    }
}

InputFile::~InputFile()
{
    Close();
}

bool InputFile::Open(const std::string& path, std::string& error)
{
    Close();
    if (path == "-") {
        descriptor_ = 0;
        return true;
    }
    descriptor_ = system_calls::OpenForReading(path);
    owned_ = descriptor_ >= 0;
    if (!owned_)
        error = ErrnoText(errno);
    return owned_;
}

bool InputFile::Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error)
{
    const long long read = system_calls::ReadSome(descriptor_, buffer, count);
    got = read > 0 ? static_cast<std::size_t>(read) : 0;
    if (read < 0)
        error = ErrnoText(errno);
    return read >= 0;
}

std::uint64_t InputFile::SizeHint() const
{
    std::uint64_t size = 0;
    return system_calls::RegularFileSize(descriptor_, size) ? size : 0;
}

bool InputFile::RegularFileIdentity(FileIdentity& identity) const
{
    return system_calls::RegularFileIdentity(descriptor_, identity);
}

bool DescriptorSink::RegularFileIdentity(FileIdentity& identity) const
{
    return system_calls::RegularFileIdentity(descriptor_, identity);
}

void InputFile::Close()
{
    if (owned_)
        system_calls::Close(descriptor_);
    descriptor_ = -1;
    owned_ = false;
}

bool DescriptorSink::Write(const unsigned char* bytes, std::size_t count)
{
    while (error_.empty() && count > 0) {
        const long long written = system_calls::WriteSome(descriptor_, bytes, count);
        if (written <= 0) {
            error_ = ErrnoText(written < 0 ? errno : EIO);
            break;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return error_.empty();
}

bool ConsoleText::IsConsole(int descriptor)
{
    return system_calls::IsConsole(descriptor);
}

void ConsoleText::BeginText(TextEncoding encoding)
{
    encoding_ = encoding;
    pendingCount_ = 0;
    atStart_ = true;
}

bool ConsoleText::Write(const unsigned char* bytes, std::size_t count)
{
    // A piece at a time, with the start of a sequence that the last write cut.
    const std::size_t PieceBytes = 8192;
    unsigned char piece[PieceBytes + sizeof pending_];
    char16_t units[PieceBytes + sizeof pending_];
    while (count > 0) {
        const std::size_t taken = count < PieceBytes ? count : PieceBytes;
        std::memcpy(piece, pending_, pendingCount_);
        std::memcpy(piece + pendingCount_, bytes, taken);
        const std::size_t held = pendingCount_ + taken;
        bytes += taken;
        count -= taken;
        std::size_t done = 0;
        std::size_t unitCount = 0;
        while (done < held) {
            const ConvertStatus status = ConvertToUnits(encoding_, piece + done, held - done, false, units + unitCount);
            done += status.consumed;
            unitCount += status.units;
            if (status.error == ConvertError::None)
                break;
            units[unitCount++] = static_cast<char16_t>(ReplacementCharacter);  // shown, not hidden
            ++done;
        }
        pendingCount_ = held - done;
        std::memcpy(pending_, piece + done, pendingCount_);
        std::size_t first = 0;
        if (atStart_ && unitCount > 0) {
            first = units[0] == 0xFEFF ? 1 : 0;
            atStart_ = false;
        }
        if (!system_calls::WriteConsoleUnits(descriptor_, units + first, unitCount - first))
            return false;
    }
    return true;
}

bool StandardOutput::Write(const unsigned char* bytes, std::size_t count)
{
    if (!isConsole_)
        return DescriptorSink::Write(bytes, count);
    if (error_.empty() && !console_.Write(bytes, count))
        error_ = ErrnoText(EIO);
    return error_.empty();
}

void StandardOutput::BeginText(TextEncoding encoding)
{
    console_.BeginText(encoding);
}

bool WriteStandardError(const std::string& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    if (ConsoleText::IsConsole(2)) {
        ConsoleText console(2);
        return console.Write(bytes, text.size());
    }
    DescriptorSink sink(2);
    return sink.Write(bytes, text.size());
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
    if (stream_)
        return OpenStream(error);
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
    if (stream_) {
        Discard();  // what was written stays
        return true;
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
    ReleaseTarget();
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
