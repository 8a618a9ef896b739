#include "gis/point_files.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <ogr_spatialref.h>

#include "engine/datum.h"
#include "gis/gdal_support.h"
#include "gis/point_reader.h"
#include "gis/point_writer.h"
#include "platform/number_text.h"
#include "workflow/epsg.h"

namespace zelk::gis {

namespace {

using pointformat::Axes;
using pointformat::FileFormat;

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

SpatialReference SpatialReferenceOf(const Crs& crs) {
    SpatialReference srs;
    std::string definition = GisDefinitionOf(crs);
    if (IsEpsgName(definition)) {
        srs.epsg = std::atoi(definition.c_str() + 5);
    } else {
        srs.wkt = std::move(definition);
    }
    return srs;
}

bool PointFiles::Has(FileFormat format) const {
    const std::optional<Format> gis = GisFormatOf(format);
    if (!gis) return false;
    InitGdal();
    return GetGDALDriverManager()->GetDriverByName(DriverName(*gis)) != nullptr;
}

namespace {
// The GIS format of a file format; nothing, with the problem, for another.
std::optional<Format> GisFormatOrProblem(FileFormat format, std::string& problem) {
    const std::optional<Format> gis = GisFormatOf(format);
    if (!gis) problem = "不是GIS格式！";
    return gis;
}
}  // namespace

std::unique_ptr<PointSource> PointFiles::OpenSource(const ExternalInput& input,
                                                    std::string& problem) const {
    const std::optional<Format> format = GisFormatOrProblem(input.format, problem);
    if (!format) return nullptr;
    auto source = std::make_unique<GisSource>(input, *format);
    if (!source->Open(input)) {
        problem = source->Message();
        return nullptr;
    }
    return source;
}

std::unique_ptr<PointSink> PointFiles::OpenSink(const ExternalOutput& output,
                                                std::string& problem) const {
    const std::optional<Format> format = GisFormatOrProblem(output.format, problem);
    if (!format) return nullptr;
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
