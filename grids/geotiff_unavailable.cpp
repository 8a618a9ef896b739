// GeoTIFF grids in a build without libtiff (the Windows cross-build): such
// a file is refused, saying how to read it nonetheless.
#include "grids/grid_source.h"

namespace zelk::grids::detail {

std::unique_ptr<GridSource> OpenGeoTiff(const std::filesystem::path&, const std::string& name,
                                        GridGeometry&, std::string& error) {
    error = name + ": GeoTIFF grids cannot be read by this build (it has no libtiff); "
                   "convert the grid to GTX, for example with gdal_translate -of GTX";
    return nullptr;
}

}  // namespace zelk::grids::detail
