#include "gis/point_files.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include <ogr_spatialref.h>

#include "engine/datum.h"
#include "gis/gdal_support.h"
#include "gis/point_reader.h"
#include "gis/point_writer.h"
#include "platform/number_text.h"

namespace zelk::gis {

namespace {

using pointformat::Axes;
using pointformat::FileFormat;

// Packed DMS as the decimal degrees a text file writes (9 decimals).
bool PackedToDegrees(double packed, double& degrees) {
    char text[kAngleTextMax];
    char* end = WriteAngle(text, packed, AngleFormat::Degrees);
    const std::optional<double> value = ParseDecimal(std::string_view(text, end - text));
    if (!value) return false;
    degrees = *value;
    return true;
}

// A packed DMS meridian in whole degrees, or nothing.
std::optional<int> WholeDegrees(double packed) {
    if (!(std::fabs(packed) <= 180.0) || packed != std::floor(packed)) return std::nullopt;
    return static_cast<int>(packed);
}

// The defining inverse flattening of each datum's ellipsoid, as EPSG gives
// it (the engine keeps the published b and e).
double InverseFlattening(DatumId datum) {
    switch (datum) {
        case DatumId::Wgs84: return 298.257223563;
        case DatumId::Beijing54: return 298.3;
        case DatumId::Xian80: return 298.257;
        case DatumId::Cgcs2000: return 298.257222101;
    }
    return 0.0;
}

class GisSource final : public PointSource {
public:
    GisSource(const ExternalInput& input, Format format) : m_format(format) {
        std::error_code error;
        const auto size = std::filesystem::file_size(input.path, error);
        m_fileSize = error ? 0 : static_cast<std::uint64_t>(size);
    }

    bool Open(const ExternalInput& input) {
        ReaderOptions options;
        options.layer = input.layer;
        // A sheet holds B and L as typed; layers and drawings hold degrees.
        options.angles = m_format == Format::Xlsx ? input.angles : AngleFormat::Degrees;
        options.packedAngles = true;
        if (m_reader.Open(input.path, m_format, input.axes, options)) return true;
        m_message = m_reader.Message();
        return false;
    }

    Result Next(SourcePoint& point) override {
        PointRecord record;
        switch (m_reader.Next(record)) {
            case PointReader::Result::Point:
                point.name = std::move(record.name);
                for (int i = 0; i < 3; ++i) point.values[i] = record.values[i];
                point.number = record.number;
                return Result::Point;
            case PointReader::Result::End:
                return Result::End;
            case PointReader::Result::Problem:
                break;
        }
        m_message = m_reader.Message();
        return Result::Problem;
    }

    const std::string& Message() const override { return m_message; }

    std::string Place(std::int64_t number) const override {
        const std::string n = std::to_string(number);
        switch (m_format) {
            case Format::Xlsx: return "第" + n + "行";
            case Format::Dxf: return "第" + n + "个点";
            default: return "第" + n + "个要素";
        }
    }

    std::uint64_t BytesRead() const override {
        const std::int64_t count = m_reader.FeatureCount();
        if (count <= 0) return 0;
        const double fraction =
            std::min(1.0, static_cast<double>(m_reader.FeaturesRead()) / static_cast<double>(count));
        return static_cast<std::uint64_t>(fraction * static_cast<double>(m_fileSize));
    }

private:
    Format m_format;
    PointReader m_reader;
    std::uint64_t m_fileSize = 0;
    std::string m_message;
};

class GisSink final : public PointSink {
public:
    explicit GisSink(Axes axes) : m_axes(axes) {}

    bool Open(const ExternalOutput& output, Format format) {
        if (m_writer.Open(output.path, format, m_axes, SpatialReferenceOf(output.target))) return true;
        m_message = m_writer.Message();
        return false;
    }

    bool Write(std::string_view name, const double values[3]) override {
        double v[3] = {values[0], values[1], values[2]};
        if (m_axes == Axes::Geodetic) {
            for (int i = 0; i < 2; ++i) {
                if (std::isfinite(v[i]) && !PackedToDegrees(values[i], v[i])) {
                    m_message = "无法把第" + std::to_string(m_writer.Points() + 1) +
                                "个点的度分秒换成度！";
                    return false;
                }
            }
        }
        // Metres as the text files write them, to the millimetre (B and L
        // are already the text files' degrees).
        for (int i = m_axes == Axes::Geodetic ? 2 : 0; i < 3; ++i) {
            if (!std::isfinite(v[i])) continue;
            if (const std::optional<double> rounded = ParseDecimal(FormatFixed(v[i], 3))) {
                v[i] = *rounded;
            }
        }
        if (m_writer.Write(name, v)) return true;
        m_message = m_writer.Message();
        return false;
    }

    bool Commit() override {
        if (m_writer.Commit()) return true;
        m_message = m_writer.Message();
        return false;
    }

    void Abandon() override { m_writer.Abandon(); }

    const std::string& Message() const override { return m_message; }

private:
    Axes m_axes;
    PointWriter m_writer;
    std::string m_message;
};

Axes AxesOf(const Crs& crs) {
    switch (crs.form) {
        case Form::Geodetic: return Axes::Geodetic;
        case Form::Geocentric: return Axes::Geocentric;
        case Form::Projected:
        case Form::Local: break;
    }
    return Axes::Plane;
}

}  // namespace

std::optional<Format> GisFormatOf(FileFormat format) {
    switch (format) {
        case FileFormat::Dxf: return Format::Dxf;
        case FileFormat::Shapefile: return Format::Shapefile;
        case FileFormat::GeoPackage: return Format::GeoPackage;
        case FileFormat::GeoJson: return Format::GeoJson;
        case FileFormat::Xlsx: return Format::Xlsx;
        default: return std::nullopt;
    }
}

int NationalEpsgCode(const Crs& crs) {
    const DatumId datum = crs.datum;
    switch (crs.form) {
        case Form::Local:
            return 0;
        case Form::Geodetic:
            switch (datum) {
                case DatumId::Wgs84: return 4326;
                case DatumId::Beijing54: return 4214;
                case DatumId::Xian80: return 4610;
                case DatumId::Cgcs2000: return 4490;
            }
            return 0;
        case Form::Geocentric:
            return datum == DatumId::Wgs84 ? 4978 : datum == DatumId::Cgcs2000 ? 4479 : 0;
        case Form::Projected:
            break;
    }
    if (crs.IsZoned()) {
        // One zone, its number in front of every easting.
        const int zone = crs.zone;
        if (crs.zoning == Zoning::Zone6 && zone >= 13 && zone <= 23) {
            switch (datum) {
                case DatumId::Cgcs2000: return 4491 + zone - 13;
                case DatumId::Beijing54: return 21413 + zone - 13;
                case DatumId::Xian80: return 2327 + zone - 13;
                case DatumId::Wgs84: return 0;
            }
        }
        if (crs.zoning == Zoning::Zone3 && zone >= 25 && zone <= 45) {
            switch (datum) {
                case DatumId::Cgcs2000: return 4513 + zone - 25;
                case DatumId::Beijing54: return 2401 + zone - 25;
                case DatumId::Xian80: return 2349 + zone - 25;
                case DatumId::Wgs84: return 0;
            }
        }
        return 0;
    }
    const std::optional<int> meridian = WholeDegrees(crs.meridian);
    if (!meridian) return 0;
    if (crs.IsUtm()) {
        const int zone = (*meridian + 183) / 6;
        return (*meridian + 183) % 6 == 0 && zone >= 1 && zone <= 60 ? 32600 + zone : 0;
    }
    if (*meridian < 75 || *meridian > 135 || *meridian % 3 != 0) return 0;
    const int step = (*meridian - 75) / 3;
    switch (datum) {
        case DatumId::Cgcs2000: return 4534 + step;
        case DatumId::Beijing54: return 2422 + step;
        case DatumId::Xian80: return 2370 + step;
        case DatumId::Wgs84: return 0;
    }
    return 0;
}

SpatialReference SpatialReferenceOf(const Crs& crs) {
    SpatialReference srs;
    if (crs.form == Form::Local || (crs.IsZoned() && crs.zone == 0)) return srs;
    srs.epsg = NationalEpsgCode(crs);
    if (srs.epsg != 0) return srs;
    InitGdal();
    GdalErrors errors;
    const Datum& datum = DatumOf(crs.datum);
    const std::string name = DescribeSystem(crs);
    OGRSpatialReference reference;
    const std::string geographic = std::string(datum.name) + " geodetic";
    if (reference.SetGeogCS(geographic.c_str(), datum.name, datum.name, datum.ellipsoid.a(),
                            InverseFlattening(crs.datum)) != OGRERR_NONE) {
        return srs;
    }
    if (crs.form == Form::Geocentric) {
        OGRSpatialReference geocentric;
        if (geocentric.SetGeocCS(name.c_str()) != OGRERR_NONE ||
            geocentric.CopyGeogCSFrom(&reference) != OGRERR_NONE) {
            return srs;
        }
        reference = geocentric;
    } else if (crs.form == Form::Projected) {
        double meridian = 0.0;
        double falseEasting = 500000.0;
        if (crs.IsZoned()) {
            meridian = ZoneMeridian(crs.zoning, crs.zone);
            falseEasting += crs.zone * 1e6;
        } else if (!PackedToDegrees(crs.meridian, meridian)) {
            return srs;
        }
        if (reference.SetProjCS(name.c_str()) != OGRERR_NONE ||
            reference.SetTM(0.0, meridian, crs.IsUtm() ? 0.9996 : 1.0, falseEasting, 0.0) !=
                OGRERR_NONE) {
            return srs;
        }
    }
    char* wkt = nullptr;
    if (reference.exportToWkt(&wkt) == OGRERR_NONE && wkt) srs.wkt = wkt;
    CPLFree(wkt);
    return srs;
}

bool PointFiles::Has(FileFormat format) const {
    const std::optional<Format> gis = GisFormatOf(format);
    if (!gis) return false;
    InitGdal();
    static constexpr const char* kDrivers[] = {"DXF", "ESRI Shapefile", "GPKG", "GeoJSON", "XLSX"};
    return GetGDALDriverManager()->GetDriverByName(kDrivers[static_cast<int>(*gis)]) != nullptr;
}

std::unique_ptr<PointSource> PointFiles::OpenSource(const ExternalInput& input,
                                                    std::string& problem) const {
    const std::optional<Format> format = GisFormatOf(input.format);
    if (!format) {
        problem = "不是GIS格式！";
        return nullptr;
    }
    auto source = std::make_unique<GisSource>(input, *format);
    if (!source->Open(input)) {
        problem = source->Message();
        return nullptr;
    }
    return source;
}

std::unique_ptr<PointSink> PointFiles::OpenSink(const ExternalOutput& output,
                                                std::string& problem) const {
    const std::optional<Format> format = GisFormatOf(output.format);
    if (!format) {
        problem = "不是GIS格式！";
        return nullptr;
    }
    auto sink = std::make_unique<GisSink>(AxesOf(output.target));
    if (!sink->Open(output, *format)) {
        problem = sink->Message();
        return nullptr;
    }
    return sink;
}

const ExternalFormats& Formats() {
    static const PointFiles formats;
    return formats;
}

}  // namespace zelk::gis
