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

}  // namespace zelk::platform
