// Files on POSIX systems.
#include "file_io.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file that a stopping signal removes. Written only while no
// temporary file is armed, read by the signal handler.
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

mode_t CurrentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

}  // namespace

void PrepareProcess()
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

std::FILE* OpenForReading(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        error = ErrorText(errno);
    return file;
}

std::uint64_t InputFile::SizeHint() const
{
    struct stat info;
    if (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

bool ReplacementFile::Prepare(const std::string& target, std::string& error)
{
    // Replace the file that a symbolic link points to, and keep the link.
    resolved_ = target;
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            resolved_ = real;
            std::free(real);
        }
    }
    if (stat(resolved_.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = ErrorText(errno);
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

bool ReplacementFile::Open(std::string& error)
{
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        tempPath_ = TemporaryNameBeside(resolved_, static_cast<unsigned long>(getpid()));
        descriptor = open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0) {
        error = "cannot create a temporary file beside it: " + ErrorText(errno);
        tempPath_.clear();
        return false;
    }
    ArmTempRemoval(tempPath_);
    stream_ = fdopen(descriptor, "wb");
    if (stream_ == nullptr) {
        error = ErrorText(errno);
        close(descriptor);
        Discard();
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(std::string& error)
{
    const int descriptor = fileno(stream_);
    if (!Flush() || fsync(descriptor) != 0) {
        error = "cannot write: " + (error_.empty() ? ErrorText(errno) : error_);
        Discard();
        return false;
    }
    if (exists_) {
        // Only the superuser can give a file away; otherwise it stays ours.
        const int chowned = fchown(descriptor, static_cast<uid_t>(owner_), static_cast<gid_t>(group_));
        static_cast<void>(chowned);
    }
    // After fchown, which may clear the set-user-ID bits.
    if (fchmod(descriptor, static_cast<mode_t>(mode_)) != 0) {
        error = "cannot set permissions: " + ErrorText(errno);
        Discard();
        return false;
    }
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (closed != 0) {
        error = "cannot write: " + ErrorText(errno);
        Discard();
        return false;
    }
    if (std::rename(tempPath_.c_str(), resolved_.c_str()) != 0) {
        error = "cannot replace: " + ErrorText(errno);
        Discard();
        return false;
    }
    DisarmTempRemoval();
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
        unlink(tempPath_.c_str());
        DisarmTempRemoval();
        tempPath_.clear();
    }
}
