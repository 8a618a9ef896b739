#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace zelk::platform {

std::filesystem::path PathFromUtf8(std::string_view name) {
    return std::filesystem::path(std::string(name));
}

std::string PathText(const std::filesystem::path& path) { return path.native(); }

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    std::string binary = mode;
    if (binary.find('b') == std::string::npos) binary += 'b';
    return std::fopen(path.c_str(), binary.c_str());
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* stream) {
    struct stat info {};
    if (::fstat(::fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t ProcessId() { return static_cast<std::uint64_t>(::getpid()); }

bool HasDescriptorNames() { return true; }

}  // namespace zelk::platform
