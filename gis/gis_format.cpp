#include "gis/gis_format.h"

namespace zelk::gis {

namespace {
struct FormatName_ {
    std::string_view name;
    Format format;
};
constexpr FormatName_ kNames[] = {{"dxf", Format::Dxf},
                                  {"shp", Format::Shapefile},
                                  {"gpkg", Format::GeoPackage},
                                  {"geojson", Format::GeoJson},
                                  {"xlsx", Format::Xlsx}};
}  // namespace

std::optional<Format> FormatFromName(std::string_view name) {
    for (const FormatName_& n : kNames) {
        if (n.name == name) return n.format;
    }
    return std::nullopt;
}

std::string_view FormatName(Format format) {
    for (const FormatName_& n : kNames) {
        if (n.format == format) return n.name;
    }
    return {};
}

std::optional<Format> FormatFromExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (extension == ".json") return Format::GeoJson;
    if (extension.size() < 2) return std::nullopt;
    return FormatFromName(std::string_view(extension).substr(1));
}

std::string GeoJsonProblemText(const Crs& target) {
    if (target.form == Form::Geodetic && !target.ellipsoid &&
        (target.datum == DatumId::Wgs84 || target.datum == DatumId::Cgcs2000)) {
        return {};
    }
    return "GeoJSON文件只能写WGS84或CGCS2000大地坐标（经纬度），请选择这样的转换后坐标系统！";
}

}  // namespace zelk::gis
