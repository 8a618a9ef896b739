// The grid readers' access to their files: read at any offset, from any
// thread (platform/random_access_file.h). Internal to grids/.
#pragma once

#include "platform/random_access_file.h"

namespace zelk::grids::detail {

using ReadOnlyFile = platform::RandomAccessFile;

}  // namespace zelk::grids::detail
