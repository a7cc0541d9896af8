// Files for the text tools, the one place that knows the platform: reading an
// input, writing standard output, locking a file, and replacing a file
// through a temporary file beside it. Paths are UTF-8.
#ifndef TEXT_IO_FILE_IO_H
#define TEXT_IO_FILE_IO_H

#include "text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Makes sure that descriptors 0 to 2 are open (OpenStandardDescriptors);
// puts standard input and output in binary mode (Windows); arranges that a
// named temporary file is removed when the program is stopped by a signal
// (POSIX).
void PrepareProcess();

// Makes sure that descriptors 0 to 2 are open, so that no file of ours ever
// gets their numbers: a closed one is opened on the null device, the wrong
// way round, so that using it fails.
void OpenStandardDescriptors();

// What a failed call of the C library or the system reported, as text.
std::string ErrnoText(int error);

// Which file a path names, whatever path was used.
struct FileIdentity {
    std::uint64_t volume = 0;  // 0 when the system does not tell (Wine, for a redirected standard stream)
    std::uint64_t index = 0;
    // True when both are one file; a volume that is not known matches any.
    bool IsSameFile(const FileIdentity& other) const
    {
        return index == other.index && (volume == other.volume || volume == 0 || other.volume == 0);
    }
    bool operator<(const FileIdentity& other) const
    {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

// A file, or standard input for "-", read from start to end.
class InputFile : public ByteSource {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    virtual ~InputFile();

    // Opens the input; a failure is told in `error`, e.g. "No such file".
    bool Open(const std::string& path, std::string& error);
    // Reads what is there, up to `count` bytes; `got` is 0 only at the end.
    bool Read(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error) override;
    // Reads until `count` bytes or the end; `got` < `count` only at the end.
    bool ReadFully(unsigned char* buffer, std::size_t count, std::size_t& got, std::string& error);
    // The size of a regular file, 0 when it is not known.
    std::uint64_t SizeHint() const;
    // Which file the input is, when it is a regular file.
    bool RegularFileIdentity(FileIdentity& identity) const;
    void Close();

private:
    int descriptor_ = -1;
    bool owned_ = false;
};

// Writes to an open descriptor; the first failure is kept in error().
class DescriptorSink : public ByteSink {
public:
    DescriptorSink() = default;
    explicit DescriptorSink(int descriptor) : descriptor_(descriptor) { }
    DescriptorSink(const DescriptorSink&) = delete;
    DescriptorSink& operator=(const DescriptorSink&) = delete;
    virtual ~DescriptorSink() = default;

    bool Write(const unsigned char* bytes, std::size_t count) override;
    const std::string& error() const { return error_; }
    // Which file is written, when it is a regular file.
    bool RegularFileIdentity(FileIdentity& identity) const;

protected:
    int descriptor_ = -1;
    std::string error_;
};

// Writes the characters of a text to a console (Windows), which takes them
// as UTF-16: bytes written to it would be read in its code page. A sequence
// cut between two writes waits for the rest.
class ConsoleText {
public:
    explicit ConsoleText(int descriptor) : descriptor_(descriptor) { }
    // Whether `descriptor` is a console; never on POSIX.
    static bool IsConsole(int descriptor);
    void BeginText(TextEncoding encoding);
    bool Write(const unsigned char* bytes, std::size_t count);

private:
    int descriptor_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    unsigned char pending_[4] = {};  // the start of a cut sequence
    std::size_t pendingCount_ = 0;
    bool atStart_ = true;  // a byte order mark is no character to show
};

// Standard output: to a console as characters, elsewhere as the bytes.
class StandardOutput : public DescriptorSink {
public:
    StandardOutput() : DescriptorSink(1), console_(1), isConsole_(ConsoleText::IsConsole(1)) { }
    bool Write(const unsigned char* bytes, std::size_t count) override;
    void BeginText(TextEncoding encoding) override;

private:
    ConsoleText console_;
    bool isConsole_;
};

// Writes a message (UTF-8) to standard error: to a console as characters,
// elsewhere as the bytes. False when it could not be written.
bool WriteStandardError(const std::string& text);

// A new content for a regular file, written to a temporary file beside it
// and put in its place by Commit, so the file is either as it was or
// complete. Where the system allows, the temporary file has no name until
// Commit. A symbolic link is written through: the system follows it, with
// its own rules, and the file it names gets the new content; the link stays.
// The file keeps its permissions, owner (where allowed), access control list
// and extended attributes (POSIX), or its read-only state (Windows); a new
// one gets the usual ones for new files. Other names of the file (hard
// links) keep the old content. A target that is no regular file (a device,
// a pipe, a file the program has open already, such as /dev/stdout) is
// written as a stream instead, as it comes.
class ReplacementFile : public DescriptorSink {
public:
    ReplacementFile() = default;
    ~ReplacementFile() override;  // discards what was not committed

    // Finds the file that `target` stands for and checks it (a regular file,
    // none yet, or a stream) without creating anything.
    bool Prepare(const std::string& target, std::string& error);
    // True when the target is written as a stream, after Prepare.
    bool IsStream() const { return stream_; }
    // The path of the file that gets the new content, after Prepare.
    const std::string& resolvedPath() const { return resolved_; }
    // Creates the temporary file, or opens the stream.
    bool Open(std::string& error);
    // Which file the temporary file is, after Open: the target's identity once committed.
    bool TemporaryIdentity(FileIdentity& identity) const;
    bool Commit(std::string& error);
    void Discard();

private:
    bool PrepareNew(const std::string& target, std::string& error);
    bool FindFolder(const std::string& target, const struct stat& info, std::string& error);
    bool OpenStream(std::string& error);
    void RemoveStaleTemporaries();
    bool CreateTemporary(std::string& error);
    bool SaveAttributes(std::string& error);
    bool PutInPlace(std::string& error);
    void RemoveTemporary();
    void ReleaseTarget();

    std::string resolved_;
    std::string tempPath_;  // empty while the temporary file has no name
    bool exists_ = false;
    bool stream_ = false;
    unsigned long mode_ = 0;   // the new content's permission bits (POSIX) or attributes (Windows)
    unsigned long owner_ = 0;  // the existing file's owner and group (POSIX)
    unsigned long group_ = 0;
    int target_ = -1;            // the target as the system found it (POSIX)
    int directory_ = -1;         // the folder that holds it, where tempPath_ is (POSIX)
    std::string name_;           // its name there (POSIX)
    bool createdEmpty_ = false;  // made by following a link to no file yet, to be removed when discarded (POSIX)
};

// Keeps other runs of the program away from one file while it is rewritten.
// Runs that want the same file wait for each other, in turn.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Waits for the file that `path` names and takes it. When the path has
    // come to name another file meanwhile (the previous run replaced it),
    // that one is taken instead: `identity` is the file taken.
    bool Acquire(const std::string& path, FileIdentity& identity, std::string& error);
    void Release();

private:
    bool TryAcquireOnce(const std::string& path, FileIdentity& identity, bool& replaced, std::string& error);

#if defined(_WIN32)
    void* mutex_ = nullptr;  // the named mutex that stands for the file
#else
    int descriptor_ = -1;  // the locked file
#endif
};

// Keeps the regular file `path` as it is now under the name `backup` as well,
// replacing an older file of that name at once: a second hard link where
// the file system allows one, else a copy with the same permissions.
bool KeepBackup(const std::string& path, const std::string& backup, std::string& error);

// Which file `path` names; false with `error` set when there is none.
bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error);

#if defined(_WIN32)
// Command-line arguments arrive as UTF-16 on Windows.
std::string WideToUtf8(const wchar_t* text);
// The text that Windows gives for an error code, in one line.
std::string WindowsErrorText(unsigned long code);
// The files that a pattern with '*' or '?' in its last part matches, as
// the pattern's folder followed by each name, sorted; none when nothing
// matches. Folders do not count.
std::vector<std::string> MatchingFiles(const std::string& pattern);
#endif

#endif
