#include "platform/files.h"

namespace zelk::platform {

bool IsDescriptorName(std::string_view name) {
    for (std::string_view whole : {"/dev/stdin", "/dev/stdout", "/dev/stderr"}) {
        if (name == whole) return true;
    }
    for (std::string_view folder :
         {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
        if (name.size() > folder.size() && name.substr(0, folder.size()) == folder) {
            return name.substr(folder.size()).find_first_not_of("0123456789") ==
                   std::string_view::npos;
        }
    }
    return false;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::optional<FileIdentity> first = IdentityOf(a);
    const std::optional<FileIdentity> second = IdentityOf(b);
    if (first || second) return first == second;
    std::error_code ec;
    if (std::filesystem::exists(a, ec) || std::filesystem::exists(b, ec)) return false;
    const auto place = [](const std::filesystem::path& p) {
        std::error_code error;
        std::filesystem::path resolved = std::filesystem::weakly_canonical(p, error);
        if (error) resolved = std::filesystem::absolute(p, error).lexically_normal();
        return resolved;
    };
    return place(a) == place(b);
}

std::filesystem::path FollowLink(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    return link.is_absolute() ? link : path.parent_path() / link;
}

}  // namespace zelk::platform
