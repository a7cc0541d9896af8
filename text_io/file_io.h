// Files for the text tools, the one place that knows the platform: reading an
// input, writing standard output, and replacing a file through a temporary
// file beside it. Paths are UTF-8.
#ifndef TEXT_IO_FILE_IO_H
#define TEXT_IO_FILE_IO_H

#include "text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Puts standard input and output in binary mode (Windows) and arranges that
// a temporary file is removed when the program is stopped by a signal (POSIX).
void PrepareProcess();

// Opens a file for reading bytes; null with `error` set when it cannot.
std::FILE* OpenForReading(const std::string& path, std::string& error);

// A file, or standard input for "-", read from start to end.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // Opens the input; a failure is told in `error`, e.g. "No such file".
    bool Open(const std::string& path, std::string& error);
    // Fills `buffer` as far as the input goes; `got` < `count` only at the end.
    bool Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error);
    // The size of a regular file, 0 when it is not known.
    std::uint64_t SizeHint() const;

private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
};

// Writes to an open stream; the first failure is kept in error().
class StreamSink : public ByteSink {
public:
    StreamSink() = default;
    explicit StreamSink(std::FILE* stream) : stream_(stream) {}
    StreamSink(const StreamSink&) = delete;
    StreamSink& operator=(const StreamSink&) = delete;
    virtual ~StreamSink() = default;

    bool Write(const unsigned char* bytes, std::size_t count) override;
    bool Flush();
    const std::string& error() const { return error_; }

protected:
    std::FILE* stream_ = nullptr;
    std::string error_;
};

// A new content for a regular file, written to a temporary file beside it
// and renamed over it by Commit, so the file is either as it was or complete.
// The file keeps its permissions; a new one gets the usual ones for new files.
class ReplacementFile : public StreamSink {
public:
    ReplacementFile() = default;
    ~ReplacementFile() override;  // discards what was not committed

    // Checks the target (a regular file or none yet; a symbolic link stands
    // for the file it points to) without creating anything.
    bool Prepare(const std::string& target, std::string& error);
    // The path to read the target's content from, after Prepare.
    const std::string& resolvedPath() const { return resolved_; }
    // Creates the temporary file.
    bool Open(std::string& error);
    bool Commit(std::string& error);
    void Discard();

private:
    std::string resolved_;
    std::string tempPath_;
    bool exists_ = false;
    unsigned long mode_ = 0;   // the new content's permission bits (POSIX) or attributes (Windows)
    unsigned long owner_ = 0;  // the existing file's owner and group (POSIX)
    unsigned long group_ = 0;
};

// A name for a temporary file beside `path`: same directory, a short form of
// the file name and a suffix that differs from call to call.
std::string TemporaryNameBeside(const std::string& path, unsigned long processId);

#if defined(_WIN32)
// Command-line arguments arrive as UTF-16 on Windows.
std::string WideToUtf8(const wchar_t* text);
#endif

#endif
