// The input's bytes to UTF-16 code units and the code units back to bytes, in
// UTF-8, UTF-16LE or UTF-16BE. Reading is strict and reports where it fails;
// writing keeps every code unit that the encoding can hold.
#ifndef TEXT_IO_TEXT_ENCODING_H
#define TEXT_IO_TEXT_ENCODING_H

#include "utf8.h"

#include <cstddef>
#include <cstdint>
#include <string>

// How an input's bytes are to be read. Auto goes by the byte order mark.
enum class EncodingChoice { Auto, Utf8, Utf16Le, Utf16Be };

enum class TextEncoding { Utf8, Utf16Le, Utf16Be };

// The encoding of one input and the length of its byte order mark (0: none).
struct TextFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t bomBytes = 0;
};

// Finds the format from the input's first bytes (all of them when the input is
// shorter). Returns false with `error` set when the byte order mark contradicts
// an encoding that the user named.
bool DetectFormat(const unsigned char* bytes, std::size_t count, EncodingChoice choice, TextFormat& format,
                  std::string& error);

struct ConvertStatus {
    std::size_t consumed = 0;  // bytes turned into units
    std::size_t units = 0;     // units written
    ConvertError error = ConvertError::None;
    std::size_t errorIndex = 0;  // first byte of the bad sequence
};

// Writes the units of bytes[0, count) to `out`, which has room for `count`
// units: no sequence gives more units than it has bytes. A sequence cut by the
// end of the bytes is left unconsumed for the next call, unless `atEnd` says
// that no more bytes follow, which makes it an error.
ConvertStatus ConvertToUnits(TextEncoding encoding, const unsigned char* bytes, std::size_t count, bool atEnd,
                             char16_t* out);

// Tells about the error of a ConvertStatus, e.g. "invalid UTF-8".
const char* DescribeConvertError(ConvertError error);

// Where bytes come from. Read gives what is there, up to `count` bytes, and
// `got` is 0 only at the end; false with `error` set when reading fails.
class ByteSource {
public:
    virtual bool Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error) = 0;

protected:
    ~ByteSource() = default;
};

// Where the bytes go. Write returns false when the bytes could not be written.
class ByteSink {
public:
    virtual bool Write(const unsigned char* bytes, std::size_t count) = 0;
    // Says in which encoding the bytes of a new text come, before them.
    virtual void BeginText(TextEncoding encoding) { (void)encoding; }

protected:
    ~ByteSink() = default;
};

// Surrogates that UTF-8 output could not hold and wrote as U+FFFD.
struct SurrogateReport {
    std::uint64_t count = 0;
    std::uint64_t firstOffset = 0;  // byte offset in the output, byte order mark included
};

// "2 lone surrogates cannot be written in UTF-8 and became U+FFFD; the first
// is at byte offset 7 of the output".
std::string DescribeLoneSurrogates(const SurrogateReport& report);

// Begins a text in the format's encoding at `sink`, and writes the byte
// order mark (when `format` has one) and the units in that encoding. UTF-8 joins surrogate pairs and writes U+FFFD for a lone
// surrogate. Returns false when the sink fails.
bool WriteUnits(const char16_t* units, std::size_t count, const TextFormat& format, ByteSink& sink,
                SurrogateReport& report);

#endif
