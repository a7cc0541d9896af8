// Files on POSIX systems.
#include "file_io.h"

#include "system_calls.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The named temporary file that a stopping signal removes. Written only
// while no temporary file is armed, read by the signal handler.
char ArmedTempPath[4096];
volatile std::sig_atomic_t TempArmed = 0;

void ArmTempRemoval(const std::string& path)
{
    if (path.size() >= sizeof ArmedTempPath)
        return;
    std::memcpy(ArmedTempPath, path.c_str(), path.size() + 1);
    TempArmed = 1;
}

void DisarmTempRemoval()
{
    TempArmed = 0;
}

extern "C" void RemoveTempAndStop(int signalNumber)
{
    if (TempArmed)
        unlink(ArmedTempPath);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

const int StoppingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ};

void CatchStoppingSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemoveTempAndStop;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : StoppingSignals)
        sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : StoppingSignals) {
        // A signal that the caller ignores (nohup, a test) stays ignored.
        struct sigaction previous;
        if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            sigaction(signalNumber, &action, nullptr);
    }
}

mode_t CurrentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// At most `limit` bytes of a UTF-8 name, not cutting a character in two, so
// that the temporary name stays within the file system's limit.
std::string ShortenName(const std::string& name, std::size_t limit)
{
    if (name.size() <= limit)
        return name;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

// A name for a temporary file beside `path`: same directory, a short form of
// the file name and a suffix that differs from call to call. Not secret, only
// different: creating it exclusively catches a collision.
std::string TemporaryNameBeside(const std::string& path)
{
    static unsigned long calls = 0;
    const std::string directory = DirectoryOf(path);
    const std::string name = ShortenName(path.substr(directory.size()), 64);
    unsigned long long seed = static_cast<unsigned long long>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(getpid()) << 20) ^ (++calls * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[seed % 36]);
        seed /= 36;
        seed ^= calls << 7;
    }
    return directory + "." + name + "." + suffix + ".tmp";
}

// Follows symbolic links from `path` to the path they end at, which need
// not exist yet: a link to a new file is written through, not replaced.
bool ResolveLinks(const std::string& path, std::string& resolved, std::string& error)
{
    resolved = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info;
        if (lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;  // what is wrong with the path, the caller's stat tells
        char target[4096];
        const ssize_t length = readlink(resolved.c_str(), target, sizeof target);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof target) {
            error = ErrnoText(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string next(target, static_cast<std::size_t>(length));
        resolved = next[0] == '/' ? next : DirectoryOf(resolved) + next;
    }
    error = ErrnoText(ELOOP);
    return false;
}

// Gives the unnamed file open at `descriptor` the name `path`.
bool LinkDescriptor(int descriptor, const std::string& path)
{
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
#if defined(AT_EMPTY_PATH)
    if (errno == ENOENT && linkat(descriptor, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
        return true;  // no /proc: the direct way, which needs a privilege
#endif
    return false;
}

FileIdentity IdentityOf(const struct stat& info)
{
    FileIdentity identity;
    identity.volume = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    return identity;
}

}  // namespace

namespace system_calls {

int OpenForReading(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

long long ReadSome(int descriptor, unsigned char* buffer, std::size_t count)
{
    ssize_t got;
    while ((got = read(descriptor, buffer, count)) < 0 && errno == EINTR) {
    }
    return got;
}

long long WriteSome(int descriptor, const unsigned char* bytes, std::size_t count)
{
    ssize_t written;
    while ((written = write(descriptor, bytes, count)) < 0 && errno == EINTR) {
    }
    return written;
}

void Close(int descriptor)
{
    close(descriptor);
}

bool RegularFileSize(int descriptor, std::uint64_t& size)
{
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool IsOpen(int descriptor)
{
    return fcntl(descriptor, F_GETFD) != -1 || errno != EBADF;
}

void OpenNullDevice(int descriptor, bool forWriting)
{
    const int opened = open("/dev/null", forWriting ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != descriptor) {
        dup2(opened, descriptor);
        close(opened);
    }
}

// A terminal takes the bytes as they are.
bool IsConsole(int)
{
    return false;
}

bool WriteConsoleUnits(int, const char16_t*, std::size_t)
{
    return false;
}

}  // namespace system_calls

void PrepareProcess()
{
    OpenStandardDescriptors();
    CatchStoppingSignals();
}

bool IdentifyFile(const std::string& path, FileIdentity& identity, std::string& error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    identity = IdentityOf(info);
    return true;
}

bool ReplacementFile::Prepare(const std::string& target, std::string& error)
{
    if (!ResolveLinks(target, resolved_, error))
        return false;
    struct stat info;
    if (stat(resolved_.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = ErrnoText(errno);
            return false;
        }
        exists_ = false;
        mode_ = 0666 & ~CurrentUmask();
        return true;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    exists_ = true;
    mode_ = info.st_mode & 07777;
    owner_ = info.st_uid;
    group_ = info.st_gid;
    return true;
}

bool ReplacementFile::CreateTemporary(std::string& error)
{
#if defined(O_TMPFILE)
    // Unnamed: if the program is killed, nothing is left behind.
    const std::string directory = DirectoryOf(resolved_);
    descriptor_ = open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor_ >= 0)
        return true;
#endif
    for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
        tempPath_ = TemporaryNameBeside(resolved_);
        descriptor_ = open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor_ < 0 && errno != EEXIST)
            break;
    }
    if (descriptor_ < 0) {
        error = ErrnoText(errno);
        tempPath_.clear();
        return false;
    }
    ArmTempRemoval(tempPath_);
    return true;
}

bool ReplacementFile::TemporaryIdentity(FileIdentity& identity) const
{
    struct stat info;
    if (fstat(descriptor_, &info) != 0)
        return false;
    identity = IdentityOf(info);
    return true;
}

bool ReplacementFile::SaveAttributes(std::string& error)
{
    if (fsync(descriptor_) != 0) {
        error = "cannot write: " + ErrnoText(errno);
        return false;
    }
    if (exists_) {
        // Only the superuser can give a file away; otherwise it stays ours.
        const int chowned = fchown(descriptor_, static_cast<uid_t>(owner_), static_cast<gid_t>(group_));
        static_cast<void>(chowned);
    }
    // After fchown, which may clear the set-user-ID bits.
    if (fchmod(descriptor_, static_cast<mode_t>(mode_)) != 0) {
        error = "cannot set permissions: " + ErrnoText(errno);
        return false;
    }
    return true;
}

bool ReplacementFile::PutInPlace(std::string& error)
{
    if (tempPath_.empty()) {
        // A new file takes its name at once; an existing one is replaced by
        // a rename, for which the content needs a name of its own first.
        if (!exists_ && LinkDescriptor(descriptor_, resolved_)) {
            close(descriptor_);
            descriptor_ = -1;
            return true;
        }
        for (int attempt = 0; attempt < 100 && tempPath_.empty(); ++attempt) {
            const std::string name = TemporaryNameBeside(resolved_);
            if (LinkDescriptor(descriptor_, name)) {
                tempPath_ = name;
                ArmTempRemoval(tempPath_);
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (tempPath_.empty()) {
            error = "cannot replace: " + ErrnoText(errno);
            return false;
        }
    }
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0) {
        error = "cannot write: " + ErrnoText(errno);
        return false;
    }
    if (std::rename(tempPath_.c_str(), resolved_.c_str()) != 0) {
        error = "cannot replace: " + ErrnoText(errno);
        return false;
    }
    DisarmTempRemoval();
    tempPath_.clear();
    return true;
}

void ReplacementFile::RemoveTemporary()
{
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        DisarmTempRemoval();
        tempPath_.clear();
    }
}

bool FileLock::TryAcquireOnce(const std::string& path, FileIdentity& identity, bool& replaced, std::string& error)
{
    descriptor_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) {
        error = "cannot open: " + ErrnoText(errno);
        return false;
    }
    while (flock(descriptor_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = "cannot lock: " + ErrnoText(errno);
            Release();
            return false;
        }
    }
    struct stat locked;
    struct stat named;
    if (fstat(descriptor_, &locked) != 0) {
        error = ErrnoText(errno);
        Release();
        return false;
    }
    identity = IdentityOf(locked);
    replaced = stat(path.c_str(), &named) != 0 || named.st_dev != locked.st_dev || named.st_ino != locked.st_ino;
    return true;
}

void FileLock::Release()
{
    if (descriptor_ >= 0)
        close(descriptor_);  // which lets go of the lock
    descriptor_ = -1;
}
