#include "platform/random_access_file.h"

namespace zelk::platform {

long long RandomAccessFile::ReadSome(std::uint64_t offset, void* buffer, std::size_t count,
                                     std::string& error) const {
    char* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const long long got = ReadOnce(offset + done, out + done, count - done, error);
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

bool RandomAccessFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count,
                              std::string& error) const {
    const long long got = ReadSome(offset, buffer, count, error);
    if (got < 0) return false;
    if (static_cast<std::size_t>(got) < count) {
        error = "ends before byte " + std::to_string(offset + count) + " (changed since it was opened?)";
        return false;
    }
    return true;
}

}  // namespace zelk::platform
