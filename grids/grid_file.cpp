#include "grids/grid_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zelk::grids::detail {

std::string SystemError(int code) { return std::error_code(code, std::generic_category()).message(); }

ReadOnlyFile::~ReadOnlyFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool ReadOnlyFile::Open(const std::filesystem::path& path, std::string& error) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot open (" + SystemError(errno) + ")";
        return false;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        error = "cannot read (" + SystemError(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "is a folder, not a grid file" : "is not a regular file";
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

long long ReadOnlyFile::ReadSome(std::uint64_t offset, void* buffer, std::size_t count,
                                 std::string& error) const {
    char* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(m_fd, out + done, count - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            error = "cannot read (" + SystemError(errno) + ")";
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count,
                          std::string& error) const {
    const long long got = ReadSome(offset, buffer, count, error);
    if (got < 0) return false;
    if (static_cast<std::size_t>(got) < count) {
        error = "ends before byte " + std::to_string(offset + count) + " (changed since it was opened?)";
        return false;
    }
    return true;
}

}  // namespace zelk::grids::detail
