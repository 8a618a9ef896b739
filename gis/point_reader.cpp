#include "gis/point_reader.h"

#include <cpl_vsi.h>
#include <ogr_spatialref.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>
#include <string_view>

#include "gis/gdal_support.h"
#include "gis/output_files.h"
#include "platform/number_text.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"

namespace zelk::gis {

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
    VSIStatBufL info;
    return VSIStatL(path.c_str(), &info) == 0;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Decimal degrees as packed DMS, as a csv file's text in degrees reads:
// the shortest decimal text of the double, then exact decimal arithmetic.
bool DegreesToPacked(double degrees, double& packed) {
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, degrees, std::chars_format::fixed);
    if (written.ec != std::errc()) return false;
    return ParseAngle(std::string_view(text, written.ptr - text), AngleFormat::Degrees,
                      AngleAxis::Any, packed);
}

// Whether a number cell read as packed DMS has minutes or seconds of 60 or
// more: then it is no packed angle (most likely decimal degrees read in the
// wrong format). Its shortest decimal text's digits are the ones typed.
bool NotPacked(double value) {
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::fixed);
    if (written.ec != std::errc()) return false;
    const std::string_view digits(text, static_cast<std::size_t>(written.ptr - text));
    const std::size_t point = digits.find('.');
    if (point == std::string_view::npos) return false;
    std::string fraction(digits.substr(point + 1));
    fraction.resize(4, '0');
    return (fraction[0] - '0') * 10 + (fraction[1] - '0') >= 60 ||
           (fraction[2] - '0') * 10 + (fraction[3] - '0') >= 60;
}

// The field names as one csv header line, each quoted, for FindCsvHeader.
// A name with a line break cannot be a column's name: it goes in empty.
std::string HeaderLine(const std::vector<std::string>& names) {
    std::string line;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) line += ',';
        line += '"';
        if (names[i].find_first_of("\r\n") == std::string::npos) {
            for (char c : names[i]) {
                if (c == '"') line += '"';
                line += c;
            }
        }
        line += '"';
    }
    return line;
}

std::string JoinNames(const std::vector<std::string>& names) {
    if (names.empty()) return "无";
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < 30; ++i) {
        if (i > 0) text += "、";
        text += pointscan::QuoteToken(names[i]);
    }
    if (names.size() > 30) text += "……";
    return text;
}

// What makes GDAL 3.6's DXF reader loop for ever: a CR followed by a NUL
// byte (which no text file holds) or by the end of the file (a file cut
// short). Scans an ASCII DXF file for both; a binary DXF (which starts with
// its own sentinel) is left to GDAL. nul: the offset of the first NUL byte,
// or -1; cutAfterCr: the file ends in a CR that does not end its EOF line.
// False when the file cannot be read to the end.
bool ScanDxf(const std::string& path, std::int64_t& nul, bool& cutAfterCr) {
    nul = -1;
    cutAfterCr = false;
    VSILFILE* file = VSIFOpenL(path.c_str(), "rb");
    if (!file) return false;
    static constexpr char kBinary[] = "AutoCAD Binary DXF";
    std::vector<char> buffer(1 << 16);
    std::string tail;  // the last bytes read, at most 16
    std::int64_t at = 0;
    bool ok = true;
    for (;;) {
        const std::size_t got = VSIFReadL(buffer.data(), 1, buffer.size(), file);
        if (at == 0 && got >= sizeof kBinary - 1 &&
            std::memcmp(buffer.data(), kBinary, sizeof kBinary - 1) == 0) {
            break;
        }
        if (const void* found = std::memchr(buffer.data(), 0, got)) {
            nul = at + (static_cast<const char*>(found) - buffer.data());
            break;
        }
        tail.append(buffer.data() + (got > 16 ? got - 16 : 0), got > 16 ? 16 : got);
        if (tail.size() > 16) tail.erase(0, tail.size() - 16);
        at += static_cast<std::int64_t>(got);
        if (got < buffer.size()) {
            ok = VSIFEofL(file) != 0;
            if (!tail.empty() && tail.back() == '\r') {
                std::string_view last(tail);
                last.remove_suffix(1);
                const std::size_t lineStart = last.find_last_of("\r\n");
                if (lineStart != std::string_view::npos) last.remove_prefix(lineStart + 1);
                cutAfterCr = Trim(last) != "EOF";
            }
            break;
        }
    }
    VSIFCloseL(file);
    return ok;
}

bool IsPointGeometry(const OGRGeometry* geometry) {
    return geometry && wkbFlatten(geometry->getGeometryType()) == wkbPoint && !geometry->IsEmpty();
}

}  // namespace

struct PointReader::State {
    Format format = Format::Dxf;
    Axes axes = Axes::Plane;
    ReaderOptions options;
    fs::path file;
    DatasetPtr dataset;
    OGRLayer* layer = nullptr;
    std::string layerName;
    std::vector<std::string> fields;
    SpatialReference srs;
    bool fromFields = false;
    int nameField = -1;
    int valueFields[3] = {-1, -1, -1};  // from fields: all three; else H at most
    int dxfTextField = -1;
    int dxfLayerField = -1;
    FeaturePtr pending;  // DXF: the feature after a point that was not its label
    std::int64_t ordinal = 0;  // features (DXF: points) so far
    std::int64_t features = 0;  // features read, whatever they are
    std::int64_t featureCount = -1;
    bool failed = false;
    bool open = false;
    std::string message;

    bool Sheet() const { return format == Format::Xlsx; }
    std::string File() const { return "文件" + QuotedPath(file); }
    std::string Where(std::int64_t number) const {
        if (Sheet()) return File() + "第" + std::to_string(number) + "行";
        if (format == Format::Dxf) return File() + "第" + std::to_string(number) + "个点";
        return File() + "第" + std::to_string(number) + "个要素";
    }
    std::string Column(int field) const {
        return std::string(Sheet() ? "“" : "的“") + pointscan::QuoteToken(fields[field]) +
               (Sheet() ? "”列" : "”字段");
    }
    Result Problem(std::string text) {
        failed = true;
        message = std::move(text);
        return Result::Problem;
    }
    bool ReadValue(const OGRFeature& feature, int field, int i, std::int64_t number,
                   double& value);
    Result NextDxf(PointRecord& record, GdalErrors& errors);
    // B and L of a geometry (decimal degrees) as options.packedAngles asks.
    bool GeometryAngles(PointRecord& record) const {
        if (axes != Axes::Geodetic || !options.packedAngles) return true;
        return DegreesToPacked(record.values[0], record.values[0]) &&
               DegreesToPacked(record.values[1], record.values[1]);
    }
};

bool PointReader::State::ReadValue(const OGRFeature& feature, int field, int i,
                                   std::int64_t number, double& value) {
    const bool angle = axes == Axes::Geodetic && i < 2;
    if (!feature.IsFieldSetAndNotNull(field)) {
        Problem(Where(number) + Column(field) + "是空的！");
        return false;
    }
    const OGRFieldType type = feature.GetFieldDefnRef(field)->GetType();
    if (type == OFTReal || type == OFTInteger || type == OFTInteger64) {
        value = feature.GetFieldAsDouble(field);
        bool read = true;
        if (angle && options.angles == AngleFormat::Packed) {
            read = options.packedAngles || PackedToDegrees(value, value);
        } else if (angle && options.packedAngles) {
            read = DegreesToPacked(value, value);
        }
        if (!read) {
            Problem(Where(number) + Column(field) + "有无法读取的数据“" +
                    std::string(feature.GetFieldAsString(field)) + "”！");
            return false;
        }
        // A number typed in a sheet has no old files to stay compatible
        // with: minutes or seconds of 60 are refused there, not carried.
        if (angle && options.angles == AngleFormat::Packed &&
            NotPacked(feature.GetFieldAsDouble(field))) {
            Problem(Where(number) + Column(field) + "的“" +
                    FormatGeneral(feature.GetFieldAsDouble(field), 15) +
                    "”不是度.分秒（分或秒不小于60）；如果是十进制度，请把角度格式选为十进制度"
                    "（--from-angles degrees）！");
            return false;
        }
        if (!std::isfinite(value)) {
            Problem(Where(number) + Column(field) + "不是有限的数！");
            return false;
        }
        return true;
    }
    const std::string_view text = Trim(feature.GetFieldAsString(field));
    if (text.empty()) {
        Problem(Where(number) + Column(field) + "是空的！");
        return false;
    }
    bool ok = false;
    if (!angle) {
        ok = pointscan::ParseNumber(text, value);
    } else if (options.angles == AngleFormat::Degrees) {
        const std::optional<double> degrees = ParseDecimal(text);
        ok = degrees.has_value() && std::isfinite(*degrees);
        if (ok) value = *degrees;
        if (ok && options.packedAngles) ok = DegreesToPacked(value, value);
    } else {
        double packed = 0.0;
        ok = ParseAngle(text, options.angles, i == 0 ? AngleAxis::Latitude : AngleAxis::Longitude,
                        packed);
        if (ok) {
            value = packed;
            if (!options.packedAngles) ok = PackedToDegrees(packed, value);
        }
    }
    if (!ok) {
        Problem(Where(number) + Column(field) + "有无法读取的数据“" + pointscan::QuoteToken(text) +
                "”！");
    }
    return ok;
}

PointReader::PointReader() : m(std::make_unique<State>()) {}
PointReader::~PointReader() {
    if (m->dataset) {
        GdalErrors errors;
        m->pending.reset();
        m->dataset.reset();
    }
}

const std::string& PointReader::LayerName() const { return m->layerName; }
const std::vector<std::string>& PointReader::FieldNames() const { return m->fields; }
const SpatialReference& PointReader::Srs() const { return m->srs; }
bool PointReader::ValuesFromFields() const { return m->fromFields; }
std::int64_t PointReader::FeatureCount() const { return m->featureCount; }
std::int64_t PointReader::FeaturesRead() const { return m->features; }
const std::string& PointReader::Message() const { return m->message; }

bool PointReader::Open(const fs::path& file, Format format, Axes axes,
                       const ReaderOptions& options) {
    InitGdal();
    GdalErrors errors;
    if (m->dataset) {
        m->pending.reset();
        m->dataset.reset();
    }
    m = std::make_unique<State>();
    State& s = *m;
    s.format = format;
    s.axes = axes;
    s.options = options;
    s.file = file;
    const std::string label = FormatLabel(format);
    const auto refuse = [&](std::string text) {
        s.failed = true;
        s.message = std::move(text);
        s.layer = nullptr;
        s.dataset.reset();
        return false;
    };
    const std::string path = file.string();
    if (!Exists(path)) return refuse(s.File() + "不存在，无法读取！");
    if (format == Format::Shapefile) {
        // The driver would say it in English, or make a missing index up.
        const std::string base = path.size() >= 4 ? path.substr(0, path.size() - 4) : path;
        for (const auto& [extension, what] :
             {std::pair<std::string, std::string>{"shx", "形状索引"}, {"dbf", "属性表"}}) {
            std::string upper = extension;
            for (char& c : upper) c = static_cast<char>(c - 'a' + 'A');
            if (!Exists(base + "." + extension) && !Exists(base + "." + upper)) {
                return refuse("Shapefile" + QuotedPath(file) + "缺少" + what + "文件" +
                              QuotedPath(fs::path(base + "." + extension).filename()) +
                              "，无法读取！");
            }
        }
    }
    if (format == Format::Dxf) {
        std::int64_t nul = -1;
        bool cut = false;
        if (!ScanDxf(path, nul, cut)) return refuse("读" + s.File() + "出错！");
        if (nul >= 0) {
            return refuse(s.File() + "不是文本DXF文件（第" + std::to_string(nul + 1) +
                          "个字节是NUL），或已经损坏！");
        }
        if (cut) return refuse(s.File() + "不完整（在一行的中间断了），或已经损坏！");
    }
    const char* const drivers[] = {DriverName(format), nullptr};
    CPLStringList openOptions;
    // A .dbf's bytes as they are: Chinese ones come without a .cpg as
    // often as with one, and GDAL would take them for Latin-1.
    if (format == Format::Shapefile) openOptions.SetNameValue("ENCODING", "");
    // The first row of a sheet is its header, whatever the cells hold.
    const ThreadConfig headers("OGR_XLSX_HEADERS", "FORCE");
    s.dataset.reset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers,
                                      openOptions.List(), nullptr));
    if (!s.dataset) {
        return refuse(s.File() + "不是可以读取的" + label + "文件，或已经损坏！" +
                      errors.Suffix());
    }
    const int layers = s.dataset->GetLayerCount();
    if (layers == 0) {
        return refuse(s.File() + "里没有" + (s.Sheet() ? "工作表" : "图层") + "！" +
                      errors.Suffix());
    }
    if (options.layer.empty() || format == Format::Dxf) {
        s.layer = s.dataset->GetLayer(0);
    } else {
        s.layer = s.dataset->GetLayerByName(options.layer.c_str());
        if (!s.layer) {
            std::vector<std::string> names;
            for (int i = 0; i < layers; ++i) names.push_back(s.dataset->GetLayer(i)->GetName());
            return refuse(s.File() + "里没有名为“" + pointscan::QuoteToken(options.layer) + "”的" +
                          (s.Sheet() ? "工作表" : "图层") + "（有：" + JoinNames(names) + "）！");
        }
    }
    s.layerName = s.layer->GetName();
    s.featureCount = s.layer->GetFeatureCount(FALSE);
    // Reading the definition makes GDAL parse a sheet, with the headers
    // option in force.
    OGRFeatureDefn* definition = s.layer->GetLayerDefn();
    for (int i = 0; i < definition->GetFieldCount(); ++i) {
        s.fields.push_back(definition->GetFieldDefn(i)->GetNameRef());
    }
    if (errors.Failed()) {
        return refuse(s.File() + "不是可以读取的" + label + "文件，或已经损坏！" +
                      errors.Suffix());
    }
    if (const OGRSpatialReference* reference = s.layer->GetSpatialRef()) {
        OGRSpatialReference copy(*reference);
        if (copy.AutoIdentifyEPSG() == OGRERR_NONE || copy.GetAuthorityCode(nullptr)) {
            const char* authority = copy.GetAuthorityName(nullptr);
            const char* code = copy.GetAuthorityCode(nullptr);
            if (authority && code && std::string_view(authority) == "EPSG") {
                s.srs.epsg = std::atoi(code);
            }
        }
        char* wkt = nullptr;
        if (copy.exportToWkt(&wkt) == OGRERR_NONE && wkt) s.srs.wkt = wkt;
        CPLFree(wkt);
    }

    const std::string where = s.File() + (s.Sheet() ? "的工作表“" : "的图层“") +
                              pointscan::QuoteToken(s.layerName) + "”";
    const std::string found =
        std::string("（找到的") + (s.Sheet() ? "列" : "字段") + "：" + JoinNames(s.fields) + "）";

    if (format == Format::Dxf) {
        s.dxfTextField = definition->GetFieldIndex("Text");
        s.dxfLayerField = definition->GetFieldIndex("Layer");
        if (s.dxfTextField < 0 || s.dxfLayerField < 0) {
            return refuse(s.File() + "不是可以读取的DXF文件！");
        }
        s.open = true;
        return true;
    }

    // The columns, recognised by the csv reader's own header code.
    std::string header = HeaderLine(s.fields);
    pointformat::CsvLayout layout;
    std::size_t dataOffset = 0;
    int linesBefore = 0;
    pointformat::RecordProblem problem;
    const pointformat::HeaderResult result = pointformat::FindCsvHeader(
        header.data(), header.data() + header.size(), axes, layout, dataOffset, linesBefore,
        problem, header.size() + 1);
    const auto role = [&](int r) {
        for (std::size_t c = 0; c < layout.role.size(); ++c) {
            if (layout.role[c] == r) return static_cast<int>(c);
        }
        return -1;
    };
    if (result == pointformat::HeaderResult::Found) {
        s.fromFields = true;
        s.nameField = layout.name;
        for (int i = 0; i < 3; ++i) s.valueFields[i] = layout.values[i];
        s.open = true;
        return true;
    }
    if (result == pointformat::HeaderResult::Problem &&
        problem.kind == pointformat::ProblemKind::DuplicateColumn) {
        return refuse(where + "有两个“" + std::string(problem.label) + "”" +
                      (s.Sheet() ? "列" : "字段") + "（第二个是“" +
                      pointscan::QuoteToken(problem.token) + "”）" + found + "！");
    }
    const OGRwkbGeometryType geometry = wkbFlatten(s.layer->GetGeomType());
    const bool points = !s.Sheet() && (geometry == wkbPoint || geometry == wkbUnknown) &&
                        definition->GetGeomFieldCount() > 0;
    if (points && result == pointformat::HeaderResult::Problem &&
        problem.kind == pointformat::ProblemKind::MissingColumn) {
        s.nameField = role(3);
        s.valueFields[2] = role(2);
        s.open = true;
        return true;
    }
    std::string missing = "可用的列";
    if (result == pointformat::HeaderResult::Problem &&
        problem.kind == pointformat::ProblemKind::MissingColumn) {
        missing = "“" + std::string(problem.label) + "”" + (s.Sheet() ? "列" : "字段");
    }
    if (s.Sheet()) return refuse(where + "的表头缺少" + missing + found + "！");
    return refuse(where + "缺少" + missing + "，也不是点图层" + found + "！");
}

PointReader::Result PointReader::State::NextDxf(PointRecord& record, GdalErrors& errors) {
    const auto next = [&]() -> FeaturePtr {
        if (pending) return std::move(pending);
        ++features;
        return FeaturePtr(layer->GetNextFeature());
    };
    const auto isText = [&](const OGRFeature& f) {
        return f.IsFieldSetAndNotNull(dxfTextField) && IsPointGeometry(f.GetGeometryRef());
    };
    for (;;) {
        FeaturePtr feature = next();
        if (!feature) {
            if (errors.Failed()) return Problem("读" + File() + "出错！" + errors.Suffix());
            if (ordinal == 0) {
                return Problem(File() + "里没有点（POINT）" +
                               (options.layer.empty()
                                    ? std::string()
                                    : "在图层“" + pointscan::QuoteToken(options.layer) + "”上") +
                               "！");
            }
            return Result::End;
        }
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (!IsPointGeometry(geometry) || isText(*feature)) continue;
        if (!options.layer.empty() &&
            options.layer != feature->GetFieldAsString(dxfLayerField)) {
            continue;
        }
        const auto* point = geometry->toPoint();
        record.name.clear();
        ++features;
        FeaturePtr after = FeaturePtr(layer->GetNextFeature());
        if (after && isText(*after)) {
            record.name = Trim(after->GetFieldAsString(dxfTextField));
        } else {
            pending = std::move(after);
        }
        ++ordinal;
        record.number = ordinal;
        const double z = point->Is3D() ? point->getZ() : 0.0;
        if (axes == Axes::Plane) {
            record.values[0] = point->getY();
            record.values[1] = point->getX();
        } else if (axes == Axes::Geodetic) {
            record.values[0] = point->getY();
            record.values[1] = point->getX();
        } else {
            record.values[0] = point->getX();
            record.values[1] = point->getY();
        }
        record.values[2] = z;
        for (double v : record.values) {
            if (!std::isfinite(v)) return Problem(Where(ordinal) + "的坐标不是有限的数！");
        }
        if (!GeometryAngles(record)) return Problem(Where(ordinal) + "的坐标无法换成度分秒！");
        return Result::Point;
    }
}

PointReader::Result PointReader::Next(PointRecord& record) {
    State& s = *m;
    if (s.failed) return Result::Problem;
    if (!s.open) return s.Problem("没有打开文件！");
    GdalErrors errors;
    if (s.format == Format::Dxf) return s.NextDxf(record, errors);
    for (;;) {
        FeaturePtr feature(s.layer->GetNextFeature());
        if (!feature) {
            if (errors.Failed()) return s.Problem("读" + s.File() + "出错！" + errors.Suffix());
            return Result::End;
        }
        ++s.ordinal;
        ++s.features;
        const std::int64_t number = s.Sheet() ? feature->GetFID() : s.ordinal;
        if (s.Sheet()) {
            bool empty = true;
            for (int i = 0; i < feature->GetFieldCount() && empty; ++i) {
                empty = !feature->IsFieldSetAndNotNull(i) ||
                        Trim(feature->GetFieldAsString(i)).empty();
            }
            if (empty) continue;  // a blank row
        }
        record.number = number;
        record.name.clear();
        if (s.nameField >= 0) {
            record.name = Trim(feature->GetFieldAsString(s.nameField));
            if (record.name.empty()) {
                return s.Problem(s.Where(number) + "的点名（" +
                                 pointscan::QuoteToken(s.fields[s.nameField]) +
                                 (s.Sheet() ? "列" : "字段") + "）是空的！");
            }
        }
        if (s.fromFields) {
            for (int i = 0; i < 3; ++i) {
                if (!s.ReadValue(*feature, s.valueFields[i], i, number, record.values[i])) {
                    return Result::Problem;
                }
            }
            return Result::Point;
        }
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (!IsPointGeometry(geometry)) {
            return s.Problem(s.Where(number) + "不是点" +
                             (geometry ? "（" + std::string(geometry->getGeometryName()) + "）"
                                       : std::string("（没有几何）")) +
                             "！");
        }
        const auto* point = geometry->toPoint();
        if (s.axes == Axes::Geocentric) {
            record.values[0] = point->getX();
            record.values[1] = point->getY();
        } else {
            record.values[0] = point->getY();
            record.values[1] = point->getX();
        }
        if (!std::isfinite(record.values[0]) || !std::isfinite(record.values[1])) {
            return s.Problem(s.Where(number) + "的坐标不是有限的数！");
        }
        if (!s.GeometryAngles(record)) {
            return s.Problem(s.Where(number) + "的坐标无法换成度分秒！");
        }
        if (s.valueFields[2] >= 0) {
            if (!s.ReadValue(*feature, s.valueFields[2], 2, number, record.values[2])) {
                return Result::Problem;
            }
        } else if (point->Is3D()) {
            record.values[2] = point->getZ();
        } else {
            const std::string h(pointformat::ValueLabel(s.axes, 2));
            return s.Problem(s.Where(number) + "没有" + h + "（点没有高度，也没有" + h +
                             "字段）！");
        }
        for (double v : record.values) {
            if (!std::isfinite(v)) return s.Problem(s.Where(number) + "的坐标不是有限的数！");
        }
        return Result::Point;
    }
}

}  // namespace zelk::gis
