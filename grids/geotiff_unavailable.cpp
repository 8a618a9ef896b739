// GeoTIFF grids in a build without libtiff (the Windows cross-build): such
// a file is refused, saying how to read it nonetheless.
#include "grids/grid_source.h"

namespace zelk::grids::detail {

namespace {

class UnreadableGeoTiff final : public GridSource {
public:
    bool Open(const std::filesystem::path&, const std::string& name, GridGeometry&,
              std::string& error) override {
        error = name + ": GeoTIFF grids cannot be read by this build (it has no libtiff); "
                       "convert the grid to GTX, for example with gdal_translate -of GTX";
        return false;
    }
    bool Read(int, int, int, int, float*, std::size_t, std::string&) override { return false; }
    std::size_t MemoryBound() const override { return 0; }
};

}  // namespace

std::unique_ptr<GridSource> NewGeoTiffSource() { return std::make_unique<UnreadableGeoTiff>(); }

}  // namespace zelk::grids::detail
