#include "platform/random_access_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zelk::platform {

namespace {
std::string Reason(int code) { return std::error_code(code, std::generic_category()).message(); }
}  // namespace

RandomAccessFile::~RandomAccessFile() {
    if (m_file >= 0) ::close(static_cast<int>(m_file));
}

bool RandomAccessFile::Open(const std::filesystem::path& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open (" + Reason(errno) + ")";
        return false;
    }
    m_file = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = "cannot read (" + Reason(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "is a folder, not a file" : "is not a regular file";
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

long long RandomAccessFile::ReadOnce(std::uint64_t offset, char* out, std::size_t count,
                                     std::string& error) const {
    for (;;) {
        const ssize_t got =
            ::pread(static_cast<int>(m_file), out, count, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) break;
    }
    error = "cannot read (" + Reason(errno) + ")";
    return -1;
}

}  // namespace zelk::platform
