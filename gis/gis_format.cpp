#include "gis/gis_format.h"

#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/angle_text.h"
#include "workflow/conversion_run.h"

namespace zelk::gis {

namespace {
// In the order of Format: the option's name, GDAL's driver, the name users
// know the format by.
struct FormatEntry {
    std::string_view name;
    Format format;
    const char* driver;
    const char* label;
};
constexpr FormatEntry kFormats[] = {
    {"dxf", Format::Dxf, "DXF", "DXF"},
    {"shp", Format::Shapefile, "ESRI Shapefile", "Shapefile"},
    {"gpkg", Format::GeoPackage, "GPKG", "GeoPackage"},
    {"geojson", Format::GeoJson, "GeoJSON", "GeoJSON"},
    {"xlsx", Format::Xlsx, "XLSX", "XLSX"},
};
const FormatEntry& EntryOf(Format format) { return kFormats[static_cast<int>(format)]; }
}  // namespace

std::optional<Format> FormatFromName(std::string_view name) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.name == name) return entry.format;
    }
    return std::nullopt;
}

std::string_view FormatName(Format format) { return EntryOf(format).name; }
const char* DriverName(Format format) { return EntryOf(format).driver; }
const char* FormatLabel(Format format) { return EntryOf(format).label; }

bool PackedToDegrees(double packed, double& degrees) {
    char text[kAngleTextMax];
    char* end = WriteAngle(text, packed, AngleFormat::Degrees);
    const std::optional<double> value = ParseDecimal(std::string_view(text, end - text));
    if (!value) return false;
    degrees = *value;
    return true;
}

std::optional<Format> FormatFromExtension(const std::filesystem::path& path) {
    std::string extension = platform::PathText(path.extension());
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (extension == ".json") return Format::GeoJson;
    if (extension.size() < 2) return std::nullopt;
    return FormatFromName(std::string_view(extension).substr(1));
}

std::string GeoJsonProblemText(const Crs& target) {
    // The one check of a conversion's formats says it.
    FileFormats formats;
    formats.output = pointformat::FileFormat::GeoJson;
    return FormatProblemText(formats, target);
}

}  // namespace zelk::gis
