// The readers of the three grid formats, behind one interface the block
// cache reads through. Internal to grids/.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "grids/geoid_grid.h"

namespace zelk::grids::detail {

class GridSource {
public:
    virtual ~GridSource() = default;
    // Reads and checks the header, fills geometry (all but wraps) and checks
    // that the grid holds data; false with the message in error, which
    // begins with name (the file as the user gave it).
    virtual bool Open(const std::filesystem::path& path, const std::string& name,
                      GridGeometry& geometry, std::string& error) = 0;
    // Reads the nodes of rows [row0, row0 + rowCount) and columns [col0,
    // col0 + colCount), in the geometry's numbering (row 0 south, column 0
    // west; all within the grid), into out[(r − row0) · stride + (c − col0)],
    // nodes without data as NaN. Called by one thread at a time. False with
    // the reason in error (without the file's name).
    virtual bool Read(int row0, int rowCount, int col0, int colCount, float* out,
                      std::size_t stride, std::string& error) = 0;
    // The most memory the reader itself holds, in bytes.
    virtual std::size_t MemoryBound() const = 0;
};

// A reader of each format, not yet opened.
std::unique_ptr<GridSource> NewGtxSource();
std::unique_ptr<GridSource> NewIsgSource();
std::unique_ptr<GridSource> NewGeoTiffSource();

// Whether the first bytes of a file (at least 40) look like a GTX header.
bool LooksLikeGtx(const unsigned char* head, std::size_t size);

}  // namespace zelk::grids::detail
