// Heights above a geoid model, as conversions and calibrations use them.
//
// A height on either side of a conversion is ellipsoidal (h, as GNSS gives
// it) unless the side names a geoid model: then it is H = h − N, N the
// undulation the model gives at the point's latitude and longitude on the
// side's own datum (grids/geoid_grid.h). A calibration may sit on a geoid
// model too: its height fit then models what the model leaves (ζ − N).
//
// A model is named as the user names it: "egm96" (found in PROJ's data
// folders, grids::OpenModel) or the path of a grid file (GTX, ISG,
// GeoTIFF). It is opened once, when the request is made, and the open grid
// is shared read-only by every thread that converts with it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zelk {

namespace grids {
class GeoidGrid;
}

struct GeoidModel {
    // As given: a known model's name ("egm96") or a grid file's path.
    std::string name;
    // The open grid; null when it could not be opened (see problem).
    std::shared_ptr<const grids::GeoidGrid> grid;
    // Why it could not be opened (English, naming the file); empty when open.
    std::string problem;

    bool IsOpen() const { return grid != nullptr; }
};

// Opens a model: a known name or a path (a relative path from the working
// folder, or from `base` when it is not empty: the folder of the parameters
// file that names it). Never fails silently: a model that does not open
// carries its problem.
GeoidModel OpenGeoidModel(const std::string& nameOrPath, const std::string& base = {});

// True for the names of the models found by name ("egm96", in any case).
bool IsKnownGeoidModel(std::string_view name);

// How messages, reports and the dialogs name a model: "EGM96" for the known
// model, else the grid file's name without its folder.
std::string GeoidLabel(std::string_view nameOrPath);

// How a parameters file keeps a model: a known name as it is, a path made
// absolute (so the file serves from any folder).
std::string GeoidFileValue(std::string_view nameOrPath);

// The message for a model that did not open, as shown to the user: where
// names its use ("转换前的高程", "转换后的高程", "点校正").
std::string GeoidProblemText(const GeoidModel& model, std::string_view where);

}  // namespace zelk
