// The file layer on Linux: what Windows' share modes mean, built from leases, /proc and
// O_TMPFILE + linkat.

#include "fileapi_p.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace fileapi {

const Handle InvalidHandle = -1;

namespace {

// Closes on scope exit without disturbing errno, so the caller still reports the first failure.
class Fd
{
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    { }
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            const int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

std::string describe(const std::string& what, int code)
{
    return what + ": " + std::generic_category().message(code);
}

// Open flags of another process's descriptor, -1 when it is gone.
int descriptorFlags(const std::string& fdinfo)
{
    Fd fd(::open(fdinfo.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return -1;
    char text[512];
    const ssize_t length = ::read(fd.get(), text, sizeof text - 1);
    if (length <= 0)
        return -1;
    text[length] = '\0';
    const char* flags = std::strstr(text, "flags:");
    return flags ? static_cast<int>(std::strtol(flags + 6, nullptr, 8)) : -1;
}

enum class Openers { None, WriteOnly, Other };

// Who else has the inode open, as far as /proc shows: everyone for root, else only our own user's
// processes. Another user's process holding the file is invisible to a non-root caller.
// `ownFd` is our probe descriptor; other descriptors of this process count like anyone else's.
Openers scanOpeners(const struct stat& file, int ownFd)
{
    Openers found = Openers::None;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    const std::string self = std::to_string(::getpid());
    while (const dirent* process = ::readdir(proc)) {
        if (process->d_name[0] < '1' || process->d_name[0] > '9')
            continue;
        const bool ours = self == process->d_name;
        const std::string base = std::string("/proc/") + process->d_name;
        DIR* fds = ::opendir((base + "/fd").c_str());
        if (!fds)
            continue; // ended meanwhile, or not ours to look at
        while (const dirent* entry = ::readdir(fds)) {
            if (entry->d_name[0] == '.' || (ours && std::atoi(entry->d_name) == ownFd))
                continue;
            struct stat target;
            if (::stat((base + "/fd/" + entry->d_name).c_str(), &target) != 0
                || target.st_dev != file.st_dev || target.st_ino != file.st_ino)
                continue;
            const int flags = descriptorFlags(base + "/fdinfo/" + entry->d_name);
            if (flags < 0 || (flags & O_PATH))
                continue; // closed meanwhile, or no data access (like our own probe handles)
            found = (flags & O_ACCMODE) == O_WRONLY && found != Openers::Other ? Openers::WriteOnly
                                                                               : Openers::Other;
        }
        ::closedir(fds);
        if (found == Openers::Other)
            break;
    }
    ::closedir(proc);
    return found;
}

enum class Lease { Granted, Refused, Unavailable };

// A write lease is refused (EAGAIN) exactly when another open file description with data access
// exists, across all users; O_PATH descriptors do not count. It needs the caller to own the file
// or to hold CAP_LEASE, and not every file system offers leases.
Lease probeWriteLease(int fd)
{
    // Someone opening the file while we hold the lease makes the kernel signal us, by default with
    // SIGIO, whose default action ends the process: ask for SIGURG (ignored by default) and drop
    // the owner as soon as the lease is ours. The opener only waits until we release.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) != 0)
        return errno == EAGAIN ? Lease::Refused : Lease::Unavailable;
    ::fcntl(fd, F_SETOWN, 0);
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    return Lease::Granted;
}

bool nobodyElseObjects(int fd, const struct stat& file, bool shareWrite)
{
    switch (probeWriteLease(fd)) {
    case Lease::Granted:
        return true;
    case Lease::Refused:
        // Somebody has it open. Only /proc tells whether they all just write; when it shows
        // nobody, the opener is hidden from us and may well read.
        return shareWrite && scanOpeners(file, fd) == Openers::WriteOnly;
    case Lease::Unavailable:
        break;
    }
    const Openers openers = scanOpeners(file, fd);
    return openers == Openers::None || (shareWrite && openers == Openers::WriteOnly);
}

// Where O_TMPFILE is missing: a hidden name in the destination folder, removed unless published.
int createNamedTemporary(int folder, std::string* name)
{
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = ".tevcopy." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        const int fd
            = ::openat(folder, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0)
                name->clear();
            return fd;
        }
    }
    name->clear();
    errno = EEXIST;
    return -1;
}

class TemporaryName
{
public:
    explicit TemporaryName(int folder)
        : m_folder(folder)
    { }
    ~TemporaryName()
    {
        if (!name.empty()) {
            const int saved = errno;
            ::unlinkat(m_folder, name.c_str(), 0);
            errno = saved;
        }
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    std::string name; // empty: nothing to remove

private:
    int m_folder;
};

// Copies the rest of `from` to `to` at their current offsets; 0 or the errno.
int copyData(int from, int to)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (copied > 0 || (copied < 0 && errno == EINTR))
            continue;
        if (copied == 0)
            break; // end, or a pseudo file that reports 0 too early: read() decides
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return errno;
        break;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(from, buffer, sizeof buffer);
        if (length == 0)
            return 0;
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < length;) {
            const ssize_t written = ::write(to, buffer + done, static_cast<size_t>(length - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += written;
        }
    }
}

// Gives the finished file its name; EEXIST when the name was taken meanwhile. 0 or the errno.
int publish(int folder, int file, TemporaryName& temporary, const std::string& name)
{
    if (!temporary.name.empty()) {
        if (::renameat2(folder, temporary.name.c_str(), folder, name.c_str(), RENAME_NOREPLACE)
            == 0) {
            temporary.name.clear();
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        // No RENAME_NOREPLACE on this file system; link() refuses an existing name as well.
        return ::linkat(folder, temporary.name.c_str(), folder, name.c_str(), 0) == 0 ? 0 : errno;
    }
    // AT_EMPTY_PATH needs CAP_DAC_READ_SEARCH; linking the /proc/self/fd entry does not.
    if (::linkat(file, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno == EEXIST)
        return errno;
    const std::string self = "/proc/self/fd/" + std::to_string(file);
    return ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

} // namespace

Handle OpenExisting(const std::string& path)
{
    // O_PATH reads no data and needs no read permission, like a Windows handle without access
    // rights, and it does not count as an opener for the write-lease probe of OpenWrite.
    Fd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    struct stat file;
    if (!fd || ::fstat(fd.get(), &file) != 0)
        return InvalidHandle;
    if (S_ISDIR(file.st_mode)) { // CreateFileW refuses folders without backup semantics
        errno = EISDIR;
        return InvalidHandle;
    }
    return fd.release();
}

Handle OpenWrite(const std::string& path, bool shareWrite)
{
    // O_NONBLOCK: an open that would have to break somebody's lease fails instead of waiting.
    // No O_TRUNC: the probe must not cost the file its content.
    Fd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat file;
    if (!fd || ::fstat(fd.get(), &file) != 0)
        return InvalidHandle;
    // Root gets write access to read-only files; the Windows read-only attribute stops everyone.
    if ((file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        errno = EACCES;
        return InvalidHandle;
    }
    if (!nobodyElseObjects(fd.get(), file, shareWrite)) {
        errno = EBUSY;
        return InvalidHandle;
    }
    return fd.release();
}

Handle CreateNew(const std::string& path, bool /*shareWrite*/)
{
    // Nobody can have a file open that we have just created exclusively, so no probe is needed;
    // the share mode would only govern later opens, which Linux does not police.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}

bool Close(Handle handle)
{
    return handle != InvalidHandle && ::close(handle) == 0;
}

CopyResult CopyNoOverwrite(const std::string& from, const std::string& to, std::string* error)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
    Fd source(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!source)
        return fail(error,
            errno == ENOENT || errno == ENOTDIR ? CopyResult::SourceMissing : CopyResult::Failed,
            describe("cannot open " + from, errno));
    struct stat file;
    if (::fstat(source.get(), &file) != 0)
        return fail(error, CopyResult::Failed, describe("cannot read " + from, errno));
    if (!S_ISREG(file.st_mode))
        return fail(error, CopyResult::Failed, from + " is not a file");

    const std::string::size_type slash = to.rfind('/');
    const std::string folderPath
        = slash == std::string::npos ? "." : (slash == 0 ? "/" : to.substr(0, slash));
    const std::string name = slash == std::string::npos ? to : to.substr(slash + 1);
    if (name.empty())
        return fail(error, CopyResult::Failed, to + " names no file");
    Fd folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return fail(
            error, CopyResult::Failed, describe("cannot reach folder " + folderPath, errno));
    // Saves copying a large file only to find the name taken; publishing below still decides.
    struct stat existing;
    if (::fstatat(folder.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return fail(error, CopyResult::DestinationExists, to + " exists");

    TemporaryName temporary(folder.get());
    Fd target(::openat(folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!target && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        target.reset(createNamedTemporary(folder.get(), &temporary.name));
    if (!target)
        return fail(
            error, CopyResult::Failed, describe("cannot create a file in " + folderPath, errno));

    if (const int code = copyData(source.get(), target.get()))
        return fail(error, CopyResult::Failed, describe("cannot copy " + from + " to " + to, code));
    // A source cut short or rewritten meanwhile would be published as a complete copy of
    // something that never existed; its deletion is harmless, the descriptor still reads it all.
    struct stat after;
    if (::fstat(source.get(), &after) != 0 || after.st_size != file.st_size
        || after.st_mtim.tv_sec != file.st_mtim.tv_sec
        || after.st_mtim.tv_nsec != file.st_mtim.tv_nsec)
        return fail(error, CopyResult::Failed, from + " changed while it was copied");
    // fchmod, not the create mode: the umask would strip bits of the source.
    if (::fchmod(target.get(), file.st_mode & 0777) != 0 || ::fsync(target.get()) != 0)
        return fail(error, CopyResult::Failed, describe("cannot write " + to, errno));
    if (const int code = publish(folder.get(), target.get(), temporary, name))
        return fail(error, code == EEXIST ? CopyResult::DestinationExists : CopyResult::Failed,
            describe("cannot create " + to, code));

    // So that the new name survives a crash; the data is already synced. Best effort.
    Fd listing(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing)
        ::fsync(listing.get());
    return CopyResult::Copied;
}

} // namespace fileapi
