// Files on POSIX systems.
#include "file_io.h"

#include "system_calls.h"

#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// The named temporary file that a stopping signal removes: its name in the
// folder open at ArmedFolder. Written only while no temporary file is armed,
// read by the signal handler.
char ArmedTempName[256];
int ArmedFolder = -1;
volatile std::sig_atomic_t TempArmed = 0;

void ArmTempRemoval(int folder, const std::string& name)
{
    if (name.size() >= sizeof ArmedTempName)
        return;
    std::memcpy(ArmedTempName, name.c_str(), name.size() + 1);
    ArmedFolder = folder;
    TempArmed = 1;
}

void DisarmTempRemoval()
{
    TempArmed = 0;
}

extern "C" void RemoveTempAndStop(int signalNumber)
{
    if (TempArmed)
        unlinkat(ArmedFolder, ArmedTempName, 0);
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

// Temporary files are named ".NAME.decode-escapes-XXXXXXXX.tmp", after a
// short form of the target's name NAME, with eight letters or digits that
// differ from call to call: not secret, only different, since creating it
// exclusively catches a collision. The next run on the target knows them by
// that name.
const char TemporaryMark[] = ".decode-escapes-";
const char TemporaryEnd[] = ".tmp";
const std::size_t TemporaryLetters = 8;
const std::size_t TemporaryNameStemBytes = 64;  // NAME at most
// Names tried before giving up, each taken by another file already.
const int TemporaryNameTries = 100;

std::string TemporaryPrefix(const std::string& name)
{
    return "." + ShortenName(name, TemporaryNameStemBytes) + TemporaryMark;
}

std::string TemporaryNameFor(const std::string& name)
{
    static unsigned long calls = 0;
    unsigned long long seed =
        static_cast<unsigned long long>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(getpid()) << 20) ^ (++calls * 0x9E3779B97F4A7C15ull);
    std::string letters;
    for (std::size_t i = 0; i < TemporaryLetters; ++i) {
        letters.push_back("0123456789abcdefghijklmnopqrstuvwxyz"[seed % 36]);
        seed /= 36;
        seed ^= calls << 7;
    }
    return TemporaryPrefix(name) + letters + TemporaryEnd;
}

bool IsTemporaryNameFor(const std::string& candidate, const std::string& name)
{
    const std::string prefix = TemporaryPrefix(name);
    const std::size_t endLength = sizeof TemporaryEnd - 1;
    if (candidate.size() != prefix.size() + TemporaryLetters + endLength ||
        candidate.compare(0, prefix.size(), prefix) != 0 ||
        candidate.compare(candidate.size() - endLength, endLength, TemporaryEnd) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < prefix.size() + TemporaryLetters; ++i) {
        const char c = candidate[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

std::string DescriptorPath(int descriptor)
{
    return "/proc/self/fd/" + std::to_string(descriptor);
}

// Gives the unnamed file open at `descriptor` the name `name` in `folder`.
bool LinkDescriptor(int descriptor, int folder, const std::string& name)
{
    if (linkat(AT_FDCWD, DescriptorPath(descriptor).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
#if defined(AT_EMPTY_PATH)
    if (errno == ENOENT && linkat(descriptor, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
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
    while ((got = read(descriptor, buffer, count)) < 0 && errno == EINTR) { }
    return got;
}

long long WriteSome(int descriptor, const unsigned char* bytes, std::size_t count)
{
    ssize_t written;
    while ((written = write(descriptor, bytes, count)) < 0 && errno == EINTR) { }
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

namespace {

bool SameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// True when the system reached `path` through a link to an open file
// (/proc/self/fd/N, /dev/stdout): the file is one that is open already, and
// the caller that opened it writes there too. Without a way to ask the system,
// the file that standard output or error is open on counts as such.
bool ReachedThroughOpenFile(const std::string& path, const struct stat& target)
{
#if defined(SYS_openat2) && defined(RESOLVE_NO_MAGICLINKS)
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS;
    const long opened = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (opened >= 0)
        close(static_cast<int>(opened));
    if (opened >= 0 || errno != ENOSYS)
        return opened < 0 && errno == ELOOP;
#endif
    for (int descriptor : {1, 2}) {
        struct stat info;
        if (fstat(descriptor, &info) == 0 && SameFile(info, target))
            return true;
    }
    return false;
}

// A new descriptor for the same open file as one of this program's that is
// open for writing on `target`, standard output and error first, so that
// what is written lands where that descriptor stands; -1 when there is none.
int DuplicateOwnDescriptorOn(const struct stat& target)
{
    std::vector<int> candidates = {1, 2};
    if (DIR* open = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(open)) {
            const int descriptor = std::atoi(entry->d_name);
            if (descriptor > 2)
                candidates.push_back(descriptor);
        }
        closedir(open);
    }
    for (int descriptor : candidates) {
        const int flags = fcntl(descriptor, F_GETFL);
        struct stat info;
        if (flags != -1 && (flags & O_ACCMODE) != O_RDONLY && fstat(descriptor, &info) == 0 && SameFile(info, target))
            return fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    }
    return -1;
}

// Errors that the attribute library reports: the first one is kept.
struct AttributeErrors {
    error_context context;
    int first;
};

extern "C" void NoteAttributeError(error_context* context, const char*, ...)
{
    AttributeErrors* const errors = reinterpret_cast<AttributeErrors*>(context);
    if (errors->first == 0)
        errors->first = errno != 0 ? errno : EIO;
}

// The extended attributes other than the access control lists, as the
// library's rules on which ones a copy keeps.
bool CopyExtendedAttributes(int source, int target, std::string& error)
{
    AttributeErrors errors;
    std::memset(&errors, 0, sizeof errors);
    errors.context.error = NoteAttributeError;
    if (attr_copy_fd("", source, "", target, nullptr, &errors.context) == 0)
        return true;
    error = "cannot keep its extended attributes: " + ErrnoText(errors.first != 0 ? errors.first : errno);
    return false;
}

bool CopyAccessControlList(int source, int target, std::string& error)
{
    if (acl_extended_fd(source) <= 0)
        return true;  // no entries beyond the permission bits, or none on this file system
    const acl_t list = acl_get_fd(source);
    const bool copied = list != nullptr && acl_set_fd(target, list) == 0;
    if (!copied)
        error = "cannot keep its access control list: " + ErrnoText(errno);
    if (list != nullptr)
        acl_free(list);
    return copied;
}

// Holds a new temporary file locked, so that no other run takes it for one
// that a killed run left. On a file system without locks, no run can take
// it either; false only when another run took it first.
bool HoldNewTemporary(int descriptor)
{
    return flock(descriptor, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

}  // namespace

namespace system_calls {

bool RegularFileIdentity(int descriptor, FileIdentity& identity)
{
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    identity = IdentityOf(info);
    return true;
}

}  // namespace system_calls

// The system follows every link on the way, with its own rules (a link that
// another user planted in a sticky folder open to all, for one); what it
// found is held open, and the folder that holds it is taken from it.
bool ReplacementFile::Prepare(const std::string& target, std::string& error)
{
    resolved_ = target;
    target_ = open(target.c_str(), O_PATH | O_CLOEXEC);
    if (target_ < 0 && errno == ENOENT)
        return PrepareNew(target, error);
    struct stat info;
    if (target_ < 0 || fstat(target_, &info) != 0) {
        error = "cannot open: " + ErrnoText(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (!S_ISREG(info.st_mode) || ReachedThroughOpenFile(target, info)) {
        stream_ = true;
        return true;
    }
    exists_ = true;
    mode_ = info.st_mode & 07777;
    owner_ = info.st_uid;
    group_ = info.st_gid;
    return FindFolder(target, info, error);
}

bool ReplacementFile::PrepareNew(const std::string& target, std::string& error)
{
    mode_ = 0666 & ~CurrentUmask();
    struct stat link;
    if (lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        // No file yet: it gets its name in its folder once complete.
        const std::string folder = DirectoryOf(target);
        name_ = target.substr(folder.size());
        directory_ = open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (directory_ < 0 || name_.empty()) {
            error = "cannot create a temporary file beside it: " + ErrnoText(directory_ < 0 ? errno : EISDIR);
            return false;
        }
        return true;
    }
    // A link to no file yet: the system creates the file where the link
    // leads, and the new content replaces it; it goes again if the run fails.
    const int created = open(target.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (created < 0) {
        error = "cannot open: " + ErrnoText(errno);
        return false;
    }
    target_ = open(DescriptorPath(created).c_str(), O_PATH | O_CLOEXEC);
    close(created);
    struct stat info;
    if (target_ < 0 || fstat(target_, &info) != 0) {
        error = "cannot open: " + ErrnoText(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        stream_ = true;
        return true;
    }
    createdEmpty_ = info.st_size == 0;
    return FindFolder(target, info, error);
}

bool ReplacementFile::FindFolder(const std::string& target, const struct stat& info, std::string& error)
{
    char path[PATH_MAX + 1];
    const ssize_t length = readlink(DescriptorPath(target_).c_str(), path, sizeof path);
    struct stat named;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof path && path[0] == '/')
        resolved_.assign(path, static_cast<std::size_t>(length));
    else if (lstat(target.c_str(), &named) != 0 || S_ISLNK(named.st_mode))
        resolved_.clear();  // a link, and no /proc to tell where it led
    if (resolved_.empty()) {
        error = "cannot tell which folder holds it";
        return false;
    }
    const std::string folder = DirectoryOf(resolved_);
    name_ = resolved_.substr(folder.size());
    directory_ = open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    // The name found must still be the file opened, not a link or another file.
    if (directory_ < 0 || fstatat(directory_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(named, info)) {
        error = "it changed while it was opened";
        return false;
    }
    return true;
}

bool ReplacementFile::OpenStream(std::string& error)
{
    // A regular file that is open already is written where its descriptor
    // stands, as the caller's own writes are: after them, and before theirs.
    struct stat info;
    if (fstat(target_, &info) == 0 && S_ISREG(info.st_mode)) {
        descriptor_ = DuplicateOwnDescriptorOn(info);
        if (descriptor_ < 0)
            descriptor_ = open(DescriptorPath(target_).c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    } else {
        descriptor_ = open(DescriptorPath(target_).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    if (descriptor_ >= 0)
        return true;
    error = "cannot open: " + ErrnoText(errno);
    return false;
}

// A temporary file of this naming that no run holds is what a killed run
// left. Only a regular file with one name is taken, owned by this user or,
// once given away, by the target's owner; and only while no run holds it
// locked, as each run holds its own until it is in place.
void ReplacementFile::RemoveStaleTemporaries()
{
    const int listing = openat(directory_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* const folder = listing >= 0 ? fdopendir(listing) : nullptr;
    if (folder == nullptr) {
        if (listing >= 0)
            close(listing);
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        const char* const name = entry->d_name;
        struct stat named;
        if (!IsTemporaryNameFor(name, name_) || fstatat(directory_, name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(named.st_mode) || named.st_nlink != 1 ||
            (named.st_uid != geteuid() && !(exists_ && named.st_uid == owner_)))
            continue;
        const int file = openat(directory_, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat opened;
        struct stat still;
        if (file >= 0 && fstat(file, &opened) == 0 && SameFile(opened, named) && flock(file, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(directory_, name, &still, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(still, opened))
            unlinkat(directory_, name, 0);
        if (file >= 0)
            close(file);
    }
    closedir(folder);
}

bool ReplacementFile::CreateTemporary(std::string& error)
{
    RemoveStaleTemporaries();
#if defined(O_TMPFILE)
    // Unnamed: if the program is killed, nothing is left behind.
    descriptor_ = openat(directory_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor_ >= 0 && HoldNewTemporary(descriptor_))
        return true;
    if (descriptor_ >= 0)
        close(descriptor_);
    descriptor_ = -1;
#endif
    for (int attempt = 0; attempt < TemporaryNameTries && descriptor_ < 0; ++attempt) {
        const std::string name = TemporaryNameFor(name_);
        descriptor_ = openat(directory_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor_ < 0) {
            if (errno != EEXIST)
                break;
            continue;
        }
        struct stat opened;
        struct stat named;
        const bool held = HoldNewTemporary(descriptor_);
        const bool ours = fstat(descriptor_, &opened) == 0 &&
                          fstatat(directory_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                          SameFile(opened, named);
        if (held && ours) {
            tempPath_ = name;
            ArmTempRemoval(directory_, tempPath_);
            return true;
        }
        if (ours)
            unlinkat(directory_, name.c_str(), 0);
        close(descriptor_);  // taken by another run before it was held: another name
        descriptor_ = -1;
    }
    error = ErrnoText(errno);
    return false;
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
    int source = -1;
    if (exists_) {
        source = open(DescriptorPath(target_).c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (source < 0) {
            error = "cannot read its attributes: " + ErrnoText(errno);
            return false;
        }
        // Only the superuser can give a file away; otherwise it stays ours.
        const int chowned = fchown(descriptor_, static_cast<uid_t>(owner_), static_cast<gid_t>(group_));
        static_cast<void>(chowned);
    }
    // After fchown, which may clear the set-user-ID bits; the access control
    // list last, as it sets the group bits of the mode from its mask.
    bool kept = fchmod(descriptor_, static_cast<mode_t>(mode_)) == 0;
    if (!kept)
        error = "cannot set permissions: " + ErrnoText(errno);
    if (source >= 0) {
        kept = kept && CopyExtendedAttributes(source, descriptor_, error) &&
               CopyAccessControlList(source, descriptor_, error);
        close(source);
    }
    return kept;
}

bool ReplacementFile::PutInPlace(std::string& error)
{
    if (tempPath_.empty()) {
        // A new file takes its name at once; an existing one is replaced by
        // a rename, for which the content needs a name of its own first.
        if (!exists_ && !createdEmpty_ && LinkDescriptor(descriptor_, directory_, name_)) {
            close(descriptor_);
            descriptor_ = -1;
            return true;
        }
        for (int attempt = 0; attempt < TemporaryNameTries && tempPath_.empty(); ++attempt) {
            const std::string name = TemporaryNameFor(name_);
            if (LinkDescriptor(descriptor_, directory_, name)) {
                tempPath_ = name;
                ArmTempRemoval(directory_, tempPath_);
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (tempPath_.empty()) {
            error = "cannot replace: " + ErrnoText(errno);
            return false;
        }
    }
    // The descriptor, and with it the lock, is kept until the rename: the
    // content was on the disk already (SaveAttributes).
    if (renameat(directory_, tempPath_.c_str(), directory_, name_.c_str()) != 0) {
        error = "cannot replace: " + ErrnoText(errno);
        return false;
    }
    DisarmTempRemoval();
    tempPath_.clear();
    createdEmpty_ = false;
    close(descriptor_);
    descriptor_ = -1;
    return true;
}

void ReplacementFile::RemoveTemporary()
{
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    if (!tempPath_.empty()) {
        unlinkat(directory_, tempPath_.c_str(), 0);
        DisarmTempRemoval();
        tempPath_.clear();
    }
}

// Lets go of the target, and removes the empty file that following a link
// created for a run that did not put its content in place.
void ReplacementFile::ReleaseTarget()
{
    struct stat own;
    struct stat named;
    if (createdEmpty_ && fstat(target_, &own) == 0 &&
        fstatat(directory_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(own, named) &&
        named.st_size == 0)
        unlinkat(directory_, name_.c_str(), 0);
    createdEmpty_ = false;
    for (int* descriptor : {&target_, &directory_}) {
        if (*descriptor >= 0)
            close(*descriptor);
        *descriptor = -1;
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

namespace {

// Copies the file open at `from` into the new file open at `to`, with its
// permission bits.
bool CopyContent(int from, int to, std::string& error)
{
    unsigned char buffer[1 << 16];
    long long got;
    while ((got = system_calls::ReadSome(from, buffer, sizeof buffer)) > 0) {
        for (long long done = 0; done < got;) {
            const long long written = system_calls::WriteSome(to, buffer + done, static_cast<std::size_t>(got - done));
            if (written < 0) {
                error = ErrnoText(errno);
                return false;
            }
            done += written;
        }
    }
    struct stat info;
    if (got < 0 || fstat(from, &info) != 0 || fchmod(to, info.st_mode & 07777) != 0 || fsync(to) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    return true;
}

// A copy of `path` under the new name `copy`.
bool CopyFile(const std::string& path, const std::string& copy, std::string& error)
{
    const int from = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        error = ErrnoText(errno);
        return false;
    }
    const int to = open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool copied = to >= 0 && CopyContent(from, to, error);
    if (to < 0)
        error = ErrnoText(errno);
    if (to >= 0 && close(to) != 0 && copied) {
        error = ErrnoText(errno);
        copied = false;
    }
    close(from);
    if (!copied && to >= 0)
        unlink(copy.c_str());
    return copied;
}

}  // namespace

// The backup takes a temporary name beside its place first, so that an
// older backup is replaced by one rename and never missing.
bool KeepBackup(const std::string& path, const std::string& backup, std::string& error)
{
    const std::string directory = DirectoryOf(backup);
    const std::string temporary = directory + TemporaryNameFor(backup.substr(directory.size()));
    if (link(path.c_str(), temporary.c_str()) != 0 && !CopyFile(path, temporary, error)) {
        error = "cannot keep a backup: " + error;
        return false;
    }
    if (std::rename(temporary.c_str(), backup.c_str()) != 0) {
        error = "cannot keep a backup: " + ErrnoText(errno);
        unlink(temporary.c_str());
        return false;
    }
    // Renaming a name onto another link of the same file leaves both.
    unlink(temporary.c_str());
    return true;
}
