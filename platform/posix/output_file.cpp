#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
#include "platform/standard_streams.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_temporaryCounter{0};

// The descriptor that path names, for the names of descriptors this program
// has open (/dev/stdout, /dev/fd/1, /proc/self/fd/1 and so on); else -1.
int DescriptorNamed(const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return -1;
    const std::string name = absolute.lexically_normal().string();
    if (name == "/dev/stdin") return 0;
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& folder :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
          std::string("/proc/thread-self/fd/"), self}) {
        if (name.size() <= folder.size() || name.compare(0, folder.size(), folder) != 0) continue;
        const std::string digits = name.substr(folder.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return -1;
        }
        return std::stoi(digits);
    }
    return -1;
}

// Where an output path leads: an open descriptor (see DescriptorNamed), or
// the path of the file itself after following symbolic links.
struct OutputPlace {
    int descriptor = -1;
    fs::path path;
};

OutputPlace ResolveOutput(fs::path path) {
    // As many links as the system follows in one path.
    for (int hop = 0; hop < 40; ++hop) {
        const int descriptor = DescriptorNamed(path);
        if (descriptor >= 0) return {descriptor, {}};
        const fs::path next = platform::FollowLink(path);
        if (next == path) break;
        path = next;
    }
    return {-1, path};
}

// A temporary file without a name, in the temporary folder; -1 on failure.
int AnonymousFile() {
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    if (ec) folder = "/tmp";
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string name = (folder / "zelk-spool-XXXXXX").string();
    const int named = ::mkstemp(name.data());
    if (named < 0) return -1;
    ::unlink(name.c_str());
    ::fcntl(named, F_SETFD, FD_CLOEXEC);
    return named;
}

bool WriteFully(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the whole of file from (from its start) into to at to's position;
// the number of bytes copied in size. In the kernel where it can (no
// round trip through this program, a shared extent on file systems that
// have them), which keeps short the time a target written in place is
// neither the old text nor the new.
bool CopyWhole(int from, int to, std::uint64_t& size) {
    size = 0;
#ifdef __linux__
    for (loff_t offset = 0;;) {
        const ssize_t got = ::copy_file_range(from, &offset, to, nullptr, 1 << 30, 0);
        if (got > 0) {
            size += static_cast<std::uint64_t>(got);
            continue;
        }
        if (got == 0) return true;
        if (errno == EINTR) continue;
        // Not between these two (another file system, an appending
        // descriptor, an old kernel): the plain way, when nothing is
        // written yet.
        if (size != 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS &&
                          errno != EOPNOTSUPP && errno != EBADF)) {
            return false;
        }
        break;
    }
#endif
    std::vector<char> buffer(256 * 1024);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        if (!WriteFully(to, buffer.data(), static_cast<std::size_t>(got))) return false;
        offset += got;
        size += static_cast<std::uint64_t>(got);
    }
}

// An exclusive lock on the whole of the file open as fd, for one writer
// at a time: another run writing the same file in place (through another
// of its names, or the same descriptor) waits until this one has written
// it whole. POSIX record locks, which bind processes (and work over NFS);
// where the file system has none the write goes ahead without.
class WriteLock {
public:
    explicit WriteLock(int fd) : m_fd(fd) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        while (::fcntl(fd, F_SETLKW, &lock) != 0) {
            if (errno != EINTR) return;
        }
        m_locked = true;
    }
    ~WriteLock() {
        if (!m_locked) return;
        struct flock lock {};
        lock.l_type = F_UNLCK;
        lock.l_whence = SEEK_SET;
        ::fcntl(m_fd, F_SETLK, &lock);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    int m_fd;
    bool m_locked = false;
};

// Claims the disk space of size bytes for fd before its old text is
// touched, without changing its length (so that a program killed in the
// middle leaves no run of zeros); true where the file system cannot say.
bool Reserve(int fd, off_t size) {
    if (size <= 0) return true;
#ifdef __linux__
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return true;
    return errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL;
#else
    // Grows the file (with zeros) when it is shorter; the copy follows at once.
    const int reserved = ::posix_fallocate(fd, 0, size);
    return reserved == 0 || reserved == EINVAL || reserved == EOPNOTSUPP;
#endif
}

// Writes the text of the finished temporary file over target, which keeps
// its identity (its other names, its mount): one writer at a time, space
// claimed first, then the copy and the cut to length, which no SIGINT,
// SIGTERM or SIGHUP interrupts. Only SIGKILL (or a crash) in the copy
// leaves the target part new, part old.
bool WriteOver(const fs::path& temporary, const fs::path& target) {
    const int from = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    const int to = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (to < 0) {
        ::close(from);
        return false;
    }
    bool ok = true;
    {
        const WriteLock lock(to);
        struct stat info {};
        ok = ::fstat(from, &info) == 0 && Reserve(to, info.st_size);
        if (ok) {
            const interruptcleanup::HoldSignals hold;
            std::uint64_t size = 0;
            ok = CopyWhole(from, to, size) && ::ftruncate(to, static_cast<off_t>(size)) == 0 &&
                 ::fsync(to) == 0;
        }
    }
    ok = ::close(to) == 0 && ok;
    ::close(from);
    return ok;
}

}  // namespace

int OutputDescriptor(const std::filesystem::path& path) { return ResolveOutput(path).descriptor; }

AtomicOutputFile::~AtomicOutputFile() { Abandon(); }

bool AtomicOutputFile::Open(const std::filesystem::path& target) {
    Abandon();
    m_readerGone = false;
    m_problem.clear();
    const OutputPlace place = ResolveOutput(target);
    if (place.descriptor >= 0) return OpenDescriptor(place.descriptor);
    m_target = place.path;
    m_mode = Mode::Rename;
    struct stat existing {};
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a named pipe: nothing to replace, write straight into it.
        m_mode = Mode::Direct;
        m_stream = std::fopen(m_target.c_str(), "wb");
        return m_stream != nullptr;
    }
    if (exists) {
        // Not silently replaced when it may not be written.
        if (::access(m_target.c_str(), W_OK) != 0) return false;
        if (existing.st_nlink > 1) m_mode = Mode::InPlace;
    }
    const fs::path folder = m_target.parent_path();
    // Hidden, beside the target, named after it unless that name is long.
    std::string base = m_target.filename().string();
    base = "." + (base.size() <= 200 ? base : std::string("zelk")) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + std::to_string(::getpid()) + "-" +
                                 std::to_string(g_temporaryCounter.fetch_add(1)) + ".tmp";
        const fs::path candidate = folder / name;
        // Known to the interrupt handler before it exists (by a path that
        // does not depend on the working folder).
        std::error_code ec;
        m_cleanupSlot = interruptcleanup::Register(fs::absolute(candidate, ec).c_str());
        // The mode is that of a new file (the umask applies) unless the
        // target exists, whose permissions are kept.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            interruptcleanup::Forget(m_cleanupSlot);
            m_cleanupSlot = -1;
            if (error == EEXIST) continue;
            return false;
        }
        if (exists) {
            if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
                [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
            }
            [[maybe_unused]] const int ignored = ::fchmod(fd, existing.st_mode & 07777);
        }
        m_temporary = candidate;
        m_stream = ::fdopen(fd, "wb");
        if (!m_stream) {
            ::close(fd);
            Abandon();
            return false;
        }
        return true;
    }
    return false;
}

bool AtomicOutputFile::OpenDescriptor(int fd) {
    Abandon();
    m_readerGone = false;
    m_problem.clear();
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return false;
    // What this program has written to the same place comes first.
    std::fflush(nullptr);
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) return false;
    if (S_ISREG(info.st_mode)) {
        // A file (as after `>` or `>>`): it receives the text on Commit only.
        const int spool = AnonymousFile();
        m_stream = spool >= 0 ? ::fdopen(spool, "w+b") : nullptr;
        if (!m_stream) {
            if (spool >= 0) ::close(spool);
            ::close(copy);
            return false;
        }
        m_mode = Mode::Spool;
        m_descriptor = copy;
        return true;
    }
    // A pipe, a terminal, a device: written as the text comes.
    m_stream = ::fdopen(copy, "wb");
    if (!m_stream) {
        ::close(copy);
        return false;
    }
    m_mode = Mode::Direct;
    m_descriptor = copy;
    return true;
}

bool AtomicOutputFile::CopySpool() {
    // A regular file behind the descriptor: one writer at a time.
    const WriteLock lock(m_descriptor);
    const interruptcleanup::HoldSignals hold;
    std::uint64_t size = 0;
    return CopyWhole(::fileno(m_stream), m_descriptor, size);
}

bool AtomicOutputFile::CommitTemporary(bool ok) {
    // On disk before it takes the target's place: a crash must not leave an
    // empty file where the old one was.
    if (ok) ok = ::fsync(::fileno(m_stream)) == 0;
    ok = std::fclose(m_stream) == 0 && ok;
    m_stream = nullptr;
    if (ok) {
        if (m_mode == Mode::InPlace) {
            ok = WriteOver(m_temporary, m_target);
        } else if (::rename(m_temporary.c_str(), m_target.c_str()) == 0) {
            m_temporary.clear();
        } else {
            // A file that cannot be replaced (bind-mounted) is written over.
            ok = (errno == EBUSY || errno == EXDEV) && WriteOver(m_temporary, m_target);
        }
    }
    Abandon();
    return ok;
}

void AtomicOutputFile::Abandon() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (m_mode == Mode::Spool && m_descriptor >= 0) ::close(m_descriptor);
    m_descriptor = -1;
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    interruptcleanup::Forget(m_cleanupSlot);
    m_cleanupSlot = -1;
}

}  // namespace zelk
