// The few calls on descriptors that differ between POSIX and Windows, behind
// one set of names, for the file layer's common code. Each failure leaves
// its cause in errno.
#ifndef TEXT_IO_SYSTEM_CALLS_H
#define TEXT_IO_SYSTEM_CALLS_H

#include <cstddef>
#include <cstdint>
#include <string>

struct FileIdentity;

namespace system_calls {

int OpenForReading(const std::string& path);  // -1 when it cannot
// Bytes read or written, -1 on failure; an interrupted call is repeated.
long long ReadSome(int descriptor, unsigned char* buffer, std::size_t count);
long long WriteSome(int descriptor, const unsigned char* bytes, std::size_t count);
void Close(int descriptor);
// The size of the regular file open at `descriptor`; false for anything else.
bool RegularFileSize(int descriptor, std::uint64_t& size);
// Which regular file is open at `descriptor`; false for anything else.
bool RegularFileIdentity(int descriptor, FileIdentity& identity);
bool IsOpen(int descriptor);
// Opens the null device as `descriptor`, for reading or for writing.
void OpenNullDevice(int descriptor, bool forWriting);
// Whether `descriptor` is a console, which takes characters rather than
// bytes (Windows only), and writing characters to one.
bool IsConsole(int descriptor);
bool WriteConsoleUnits(int descriptor, const char16_t* units, std::size_t count);

}  // namespace system_calls

#endif
