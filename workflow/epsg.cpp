#include "workflow/epsg.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "engine/angle.h"
#include "platform/number_text.h"

namespace zelk {

namespace {

constexpr EpsgSystem kTable[] = {
#include "workflow/epsg_systems.inc"
};

// EPSG's names for the datums of the table.
struct DatumWords {
    const char* crsName;
    const char* datumName;
    const char* ellipsoidName;
};
DatumWords WordsOf(DatumId datum) {
    switch (datum) {
        case DatumId::Wgs84:
            return {"WGS 84", "World Geodetic System 1984", "WGS 84"};
        case DatumId::Beijing54:
            return {"Beijing 1954", "Beijing 1954", "Krassowsky 1940"};
        case DatumId::Xian80:
            return {"Xian 1980", "Xian 1980", "IAG 1975"};
        case DatumId::Cgcs2000:
            break;
    }
    return {"China Geodetic Coordinate System 2000", "China 2000", "CGCS2000"};
}

// The shortest text that reads back to the same double.
std::string Number(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// A WKT quoted text: a double quote is written twice.
std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

constexpr const char* kDegree = "ANGLEUNIT[\"degree\",0.0174532925199433]";
constexpr const char* kMetre = "LENGTHUNIT[\"metre\",1]";

}  // namespace

std::span<const EpsgSystem> EpsgSystems() { return kTable; }

const EpsgSystem* FindEpsg(int code) {
    for (const EpsgSystem& row : kTable) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

Crs CrsOf(const EpsgSystem& row) {
    Crs crs = MakeCrs(*FindSystem(row.system), row.zoning,
                      row.zoning == Zoning::Meridian ? row.meridianOrZone : 0.0);
    if (row.zoning != Zoning::Meridian) crs.zone = row.meridianOrZone;
    crs.falseNorthing = row.falseNorthing;
    return crs;
}

bool IsEpsgName(std::string_view text) {
    if (text.size() < 5) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != "EPSG"[i]) return false;
    }
    return text[4] == ':';
}

std::optional<Crs> EpsgCrs(std::string_view text, std::string& problem) {
    const std::string_view digits = text.substr(IsEpsgName(text) ? 5 : text.size());
    std::optional<int> code;
    if (!digits.empty() && digits.size() <= 9 && digits.find_first_not_of("0123456789") == std::string_view::npos) {
        code = ParseInt(digits);
    }
    const EpsgSystem* row = code ? FindEpsg(*code) : nullptr;
    if (row == nullptr) {
        problem = std::string(text) + (code ? " is not a system ZELK converts" : " is not an EPSG code") +
                  ": ZELK converts only the systems 'zelk-cli systems --epsg' lists";
        return std::nullopt;
    }
    return CrsOf(*row);
}

std::optional<int> EpsgCodeOf(const Crs& crs) {
    if (crs.form == Form::Local) return std::nullopt;
    // A 6° zone's meridian is a 3° zone's too, and EPSG names it twice with
    // one definition ("Gauss-Kruger CM 117E", "3-degree Gauss-Kruger CM
    // 117E"): the 3° code is given, for every datum alike, as GIS programs
    // name the meridians of large-scale surveys.
    std::optional<int> code;
    for (const EpsgSystem& row : kTable) {
        const Crs candidate = CrsOf(row);
        if (!SameSystem(candidate, crs) || (crs.IsZoned() && candidate.zone != crs.zone)) continue;
        if (std::string_view(row.name).find("3-degree") != std::string_view::npos) return row.code;
        if (!code) code = row.code;
    }
    return code;
}

std::string WktOf(const Crs& crs) {
    if (crs.form == Form::Local || (crs.IsZoned() && crs.zone == 0)) return {};
    const std::string name = !crs.name.empty() ? crs.name : DescribeSystem(crs);
    std::string datum;
    std::string geographic;
    if (crs.ellipsoid) {
        geographic = name + " (geodetic)";
        datum = "DATUM[" + Quote(name + " datum") + ",ELLIPSOID[" + Quote(name + " ellipsoid") + "," +
                Number(crs.ellipsoid->a) + "," + Number(crs.ellipsoid->rf) + "," + kMetre + "]]";
    } else {
        const DatumWords words = WordsOf(crs.datum);
        geographic = words.crsName;
        datum = std::string("DATUM[") + Quote(words.datumName) + ",ELLIPSOID[" + Quote(words.ellipsoidName) +
                "," + Number(EllipsoidOf(crs).a()) + "," + Number(DefiningInverseFlattening(crs.datum)) + "," +
                kMetre + "]]";
    }
    const std::string meridian = std::string("PRIMEM[\"Greenwich\",0,") + kDegree + "]";
    switch (crs.form) {
        case Form::Geodetic:
            return "GEOGCRS[" + Quote(crs.name.empty() ? geographic : name) + "," + datum + "," + meridian +
                   ",CS[ellipsoidal,2],AXIS[\"geodetic latitude (Lat)\",north,ORDER[1]," + kDegree +
                   "],AXIS[\"geodetic longitude (Lon)\",east,ORDER[2]," + kDegree + "]]";
        case Form::Geocentric:
            return "GEODCRS[" + Quote(crs.name.empty() ? geographic : name) + "," + datum + "," + meridian +
                   ",CS[Cartesian,3],AXIS[\"(X)\",geocentricX,ORDER[1]," + kMetre +
                   "],AXIS[\"(Y)\",geocentricY,ORDER[2]," + kMetre + "],AXIS[\"(Z)\",geocentricZ,ORDER[3]," +
                   kMetre + "]]";
        case Form::Projected:
        case Form::Local:
            break;
    }
    const GridConstants grid = ProjectionConstants(crs);
    double centralMeridian = crs.meridian;
    double falseEasting = grid.falseEasting;
    if (crs.IsZoned()) {
        centralMeridian = ZoneMeridian(crs.zoning, crs.zone);
        falseEasting += crs.zone * 1e6;
    }
    // Packed DMS to degrees as the engine reads it, without going through
    // radians (108.45 is 108.75, not 108.75000000000001).
    const DmsReading read = ReadDms(std::fabs(centralMeridian));
    const double degrees =
        (centralMeridian < 0 ? -1 : 1) * (read.degrees + (read.minutes * 60 + read.seconds) / 3600);
    const auto parameter = [](const char* what, double value, const char* unit, int id) {
        return std::string(",PARAMETER[\"") + what + "\"," + Number(value) + "," + unit + ",ID[\"EPSG\"," +
               std::to_string(id) + "]]";
    };
    return "PROJCRS[" + Quote(name) + ",BASEGEOGCRS[" + Quote(geographic) + "," + datum + "," + meridian +
           "],CONVERSION[" + Quote(name + " (transverse Mercator)") +
           ",METHOD[\"Transverse Mercator\",ID[\"EPSG\",9807]]" +
           parameter("Latitude of natural origin", 0, kDegree, 8801) +
           parameter("Longitude of natural origin", degrees, kDegree, 8802) +
           parameter("Scale factor at natural origin", grid.scale, "SCALEUNIT[\"unity\",1]", 8805) +
           parameter("False easting", falseEasting, kMetre, 8806) +
           parameter("False northing", grid.falseNorthing, kMetre, 8807) +
           "],CS[Cartesian,2],AXIS[\"northing (X)\",north,ORDER[1]," + kMetre +
           "],AXIS[\"easting (Y)\",east,ORDER[2]," + kMetre + "]]";
}

std::string GisDefinitionOf(const Crs& crs) {
    if (const std::optional<int> code = EpsgCodeOf(crs)) return "EPSG:" + std::to_string(*code);
    return WktOf(crs);
}

}  // namespace zelk
