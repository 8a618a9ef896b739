#include "gis/point_writer.h"

#include <cmath>
#include <string>

#include <cpl_conv.h>

#include <ogr_spatialref.h>

#include "gis/gdal_support.h"
#include "gis/output_files.h"
#include "platform/name_encoding.h"
#include "platform/number_text.h"
#include "workflow/point_scan.h"

namespace zelk::gis {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPointLayer = "ZELK_POINTS";
constexpr const char* kLabelLayer = "ZELK_LABELS";
constexpr const char* kLabelFont = "SimSun";
constexpr int kShapefileNameBytes = 254;
constexpr const char* kGeoPackageCacheMb = "32";
constexpr const char* kXlsxNameColumn = "\xE7\x82\xB9\xE5\x90\x8D";  // 点名

bool HasControl(std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return true;
    }
    return false;
}

// A sheet name as Excel takes it: at most 31 characters, none of []:*?/\.
std::string SheetName(const std::string& utf8) {
    std::string name;
    int characters = 0;
    for (std::size_t i = 0; i < utf8.size() && characters < 31;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::string character = utf8.substr(i, length);
        if (character.size() == 1 && std::string_view("[]:*?/\\'").find(character[0]) !=
                                         std::string_view::npos) {
            character = "_";
        }
        name += character;
        ++characters;
        i += length;
    }
    return name;
}

std::string LayerName(const fs::path& target, const WriterOptions& options) {
    if (!options.layer.empty()) return options.layer;
    const std::optional<std::string> stem = nameencoding::ToUtf8(target.stem().string());
    if (!stem || stem->empty() || HasControl(*stem)) return "points";
    return *stem;
}

}  // namespace

NameCheck CheckName(Format format, std::string_view name) {
    NameCheck check;
    std::optional<std::string> utf8 = nameencoding::ToUtf8(name);
    if (!utf8) {
        check.problem = "既不是UTF-8也不是GBK编码的文字";
        return check;
    }
    check.utf8 = std::move(*utf8);
    const std::string& text = check.utf8;
    if (HasControl(text)) {
        check.problem = "含有控制字符（如制表符、换行）";
    } else if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) {
        // Readers take blanks around a cell or field as not part of it.
        check.problem = "首尾有空格，读回时会丢掉";
    } else if (format == Format::Shapefile && text.size() > kShapefileNameBytes) {
        check.problem = "超过254字节，Shapefile的字段放不下";
    } else if (format == Format::Xlsx && (text.find("\xEF\xBF\xBE") != std::string::npos ||
                                          text.find("\xEF\xBF\xBF") != std::string::npos)) {
        check.problem = "含有XLSX不能保存的字符（U+FFFE、U+FFFF）";
    } else if (format == Format::Dxf &&
               (text.find_first_of("{}") != std::string::npos ||
                text.find("%%") != std::string::npos)) {
        check.problem = "含有DXF文字会显示成别的样子的字符（{、}或%%）";
    }
    return check;
}

struct PointWriter::State {
    Format format = Format::Dxf;
    Axes axes = Axes::Plane;
    WriterOptions options;
    fs::path target;  // as given, for messages
    OutputFiles files;
    DatasetPtr dataset;
    OGRLayer* layer = nullptr;
    int nameField = -1;
    int valueFields[3] = {-1, -1, -1};
    int cadLayerField = -1;  // DXF
    double labelHeight = 1.0;
    std::uint64_t points = 0;
    bool transaction = false;  // GeoPackage
    int inTransaction = 0;
    bool open = false;
    Failure failure = Failure::None;
    std::string message;

    bool Fail(Failure kind, std::string text) {
        failure = kind;
        message = std::move(text);
        return false;
    }
    std::string File() const { return "文件" + QuotedPath(target); }
    std::string PointText() const { return "第" + std::to_string(points + 1) + "个点"; }
    void Close(bool keep);
};

void PointWriter::State::Close(bool keep) {
    if (dataset) {
        if (!keep) {
            // Nothing more for GDAL to write out than it must.
            if (transaction) dataset->RollbackTransaction();
            if (format == Format::Xlsx && dataset->GetLayerCount() > 0) dataset->DeleteLayer(0);
        }
        dataset.reset();
    }
    layer = nullptr;
    transaction = false;
}

PointWriter::PointWriter() : m(std::make_unique<State>()) {}

PointWriter::~PointWriter() { Abandon(); }

std::uint64_t PointWriter::Points() const { return m->points; }
PointWriter::Failure PointWriter::GetFailure() const { return m->failure; }
const std::string& PointWriter::Message() const { return m->message; }

bool PointWriter::Open(const fs::path& target, Format format, Axes axes,
                       const SpatialReference& srs, const WriterOptions& options) {
    Abandon();
    InitGdal();
    GdalErrors errors;
    m = std::make_unique<State>();
    State& s = *m;
    s.format = format;
    s.axes = axes;
    s.options = options;
    s.target = target;
    const std::string formatLabel = FormatLabel(format);

    if (format == Format::GeoJson && axes != Axes::Geodetic) {
        return s.Fail(Failure::Open,
                      "GeoJSON文件只能写WGS84或CGCS2000大地坐标（经纬度），不能写" +
                          std::string(axes == Axes::Plane ? "平面" : "空间直角") + "坐标！");
    }
    std::vector<std::string> members, optional, stale, side;
    switch (format) {
        case Format::Shapefile: {
            std::string extension = target.extension().string();
            for (char& c : extension) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
            if (extension != ".shp") {
                return s.Fail(Failure::Open,
                              "Shapefile的文件名须以.shp结尾：" + QuotedPath(target) + "！");
            }
            members = {".shx", ".dbf", ".cpg"};
            optional = {".prj"};
            stale = {".qix", ".sbn", ".sbx"};
            break;
        }
        case Format::GeoPackage: side = {"-journal", "-wal", "-shm"}; break;
        case Format::Dxf: side = {".tmp"}; break;
        case Format::GeoJson:
        case Format::Xlsx: break;
    }

    // The spatial reference, checked before anything is created.
    OGRSpatialReference reference;
    const bool withSrs = !srs.Empty() && format != Format::Dxf && format != Format::Xlsx &&
                         format != Format::GeoJson;
    if (!srs.Empty() && format != Format::Dxf && format != Format::Xlsx) {
        const OGRErr imported = srs.epsg != 0 ? reference.importFromEPSG(srs.epsg)
                                              : reference.importFromWkt(srs.wkt.c_str());
        if (imported != OGRERR_NONE) {
            return s.Fail(Failure::Open,
                          (srs.epsg != 0 ? "无法识别坐标系统EPSG:" + std::to_string(srs.epsg)
                                         : std::string("无法识别坐标系统的WKT")) +
                              "！" + errors.Suffix());
        }
        reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (format == Format::GeoJson && !reference.IsGeographic()) {
            return s.Fail(Failure::Open,
                          "GeoJSON文件只能写WGS84或CGCS2000大地坐标（经纬度）！");
        }
    }

    if (!s.files.Open(target, members, optional, stale, side)) {
        return s.Fail(Failure::Open, s.files.Message());
    }
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(format));
    if (!driver) {
        s.files.Abandon();
        return s.Fail(Failure::Open, "这里的GDAL没有" + formatLabel + "格式！");
    }
    {
        // SQLite's page cache for the GeoPackage, in MB, unless GDAL's
        // configuration (the environment) says otherwise: the spatial index,
        // built when the file is closed, takes over twice as long with
        // SQLite's 2 MB (bench/README.md).
        const char* configured = CPLGetConfigOption("OGR_SQLITE_CACHE", nullptr);
        const ThreadConfig cache("OGR_SQLITE_CACHE",
                                 configured ? configured : kGeoPackageCacheMb);
        s.dataset.reset(
            driver->Create(s.files.Temporary().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    }
    const auto failOpen = [&](const std::string& what) {
        s.Close(false);
        s.files.Abandon();
        return s.Fail(Failure::Open, "不能写" + s.File() + "：" + what + errors.Suffix());
    };
    if (!s.dataset) return failOpen("GDAL无法创建" + formatLabel + "文件！");

    const std::string layerName = LayerName(target, options);
    CPLStringList layerOptions;
    OGRwkbGeometryType geometry = wkbPoint25D;
    switch (format) {
        case Format::Shapefile:
            layerOptions.SetNameValue("ENCODING", "UTF-8");
            layerOptions.SetNameValue("RESIZE", "YES");
            break;
        case Format::GeoPackage:
            layerOptions.SetNameValue("SPATIAL_INDEX", "YES");
            break;
        case Format::GeoJson:
            layerOptions.SetNameValue("RFC7946", "YES");
            // 12, not 9: with as many decimals as the values have, GDAL
            // takes a run of zeros before the last digit for noise and drops
            // it (40.333000006 became 40.333); the values come with at most
            // 9 decimals and are written as they are.
            layerOptions.SetNameValue("COORDINATE_PRECISION", "12");
            layerOptions.SetNameValue("SIGNIFICANT_FIGURES", "15");
            break;
        case Format::Xlsx:
            geometry = wkbNone;
            break;
        case Format::Dxf:
            geometry = wkbUnknown;
            break;
    }
    const std::string createdName = format == Format::Xlsx ? SheetName(layerName) : layerName;
    s.layer = s.dataset->CreateLayer(createdName.c_str(), withSrs ? &reference : nullptr,
                                     geometry, layerOptions.List());
    if (!s.layer) return failOpen("GDAL无法创建图层！");

    if (format == Format::Dxf) {
        s.cadLayerField = s.layer->GetLayerDefn()->GetFieldIndex("Layer");
        if (s.cadLayerField < 0) return failOpen("GDAL的DXF图层没有Layer字段！");
        s.labelHeight = options.labelHeight > 0.0 ? options.labelHeight
                        : axes == Axes::Geodetic  ? 0.00001
                                                  : 1.0;
    } else {
        std::vector<std::pair<std::string, OGRFieldType>> fields;
        fields.emplace_back(format == Format::Xlsx ? kXlsxNameColumn : "name", OFTString);
        if (format == Format::GeoJson) {
            fields.emplace_back("H", OFTReal);
        } else {
            for (int i = 0; i < 3; ++i) {
                fields.emplace_back(std::string(pointformat::ValueLabel(axes, i)), OFTReal);
            }
        }
        for (const auto& [name, type] : fields) {
            OGRFieldDefn definition(name.c_str(), type);
            if (format == Format::Shapefile) {
                if (type == OFTString) {
                    definition.SetWidth(kShapefileNameBytes);
                } else {
                    definition.SetWidth(24);
                    definition.SetPrecision(15);
                }
            }
            if (s.layer->CreateField(&definition) != OGRERR_NONE) {
                return failOpen("GDAL无法创建字段“" + name + "”！");
            }
        }
        OGRFeatureDefn* definition = s.layer->GetLayerDefn();
        s.nameField = 0;
        if (format == Format::GeoJson) {
            s.valueFields[2] = 1;
        } else {
            for (int i = 0; i < 3; ++i) s.valueFields[i] = i + 1;
        }
        if (definition->GetFieldCount() != static_cast<int>(fields.size())) {
            return failOpen("GDAL创建的字段不对！");
        }
    }
    if (format == Format::GeoPackage) {
        if (s.dataset->StartTransaction() != OGRERR_NONE) return failOpen("GDAL无法开始事务！");
        s.transaction = true;
    }
    if (errors.Failed()) return failOpen("GDAL出错！");
    s.open = true;
    return true;
}

bool PointWriter::Write(std::string_view name, const double values[3]) {
    State& s = *m;
    if (!s.open || s.failure != Failure::None) return false;
    GdalErrors errors;
    const NameCheck check = CheckName(s.format, name);
    if (!check.problem.empty()) {
        return s.Fail(Failure::Name, s.File() + s.PointText() + "的点名“" +
                                         pointscan::QuoteToken(name) + "”" + check.problem +
                                         "，不能写进" + FormatLabel(s.format) + "文件！");
    }
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(values[i])) {
            return s.Fail(Failure::Value, s.File() + s.PointText() + "的" +
                                              std::string(pointformat::ValueLabel(s.axes, i)) +
                                              "不是有限的数，不能写！");
        }
    }
    if (s.format == Format::Shapefile) {
        // What "%24.15f" writes in 24 characters.
        for (int i = 0; i < 3; ++i) {
            if (!(values[i] > -1e7 && values[i] < 1e8)) {
                return s.Fail(Failure::Value,
                              s.File() + s.PointText() + "的" +
                                  std::string(pointformat::ValueLabel(s.axes, i)) + "（" +
                                  FormatGeneral(values[i], 15) +
                                  "）超出Shapefile数字字段的范围（-10000000到100000000），"
                                  "不能写！");
            }
        }
    }
    if (s.format == Format::Xlsx && s.points >= kXlsxMaxPoints) {
        return s.Fail(Failure::Full, s.File() + "：XLSX工作表最多放" +
                                         std::to_string(kXlsxMaxPoints) + "个点，点太多了！");
    }
    // (east, north, height) in the geometry.
    double east = values[1], north = values[0], up = values[2];
    if (s.axes == Axes::Geocentric) {
        east = values[0];
        north = values[1];
    }
    const auto failWrite = [&]() {
        return s.Fail(Failure::Write, "写" + s.File() + s.PointText() + "出错！" + errors.Suffix());
    };
    OGRFeatureDefn* definition = s.layer->GetLayerDefn();
    if (s.format == Format::Dxf) {
        OGRFeature point(definition);
        point.SetField(s.cadLayerField, kPointLayer);
        point.SetGeometryDirectly(new OGRPoint(east, north, up));
        if (s.layer->CreateFeature(&point) != OGRERR_NONE || errors.Any()) return failWrite();
        if (!check.utf8.empty()) {
            OGRFeature label(definition);
            label.SetField(s.cadLayerField, kLabelLayer);
            const double offset = s.labelHeight / 2;
            label.SetGeometryDirectly(new OGRPoint(east + offset, north + offset, up));
            // GDAL's OGRStyleLabel does not escape the text; a quoted style
            // string takes \\ and \" for a backslash and a quote.
            std::string style = std::string("LABEL(f:\"") + kLabelFont + "\",t:\"";
            for (char c : check.utf8) {
                if (c == '\\' || c == '"') style += '\\';
                style += c;
            }
            style += "\",s:" + FormatGeneral(s.labelHeight, 17) + "g,p:1)";  // lower left
            label.SetStyleString(style.c_str());
            if (s.layer->CreateFeature(&label) != OGRERR_NONE || errors.Any()) return failWrite();
        }
    } else {
        OGRFeature feature(definition);
        feature.SetField(s.nameField, check.utf8.c_str());
        for (int i = 0; i < 3; ++i) {
            if (s.valueFields[i] >= 0) feature.SetField(s.valueFields[i], values[i]);
        }
        if (s.format != Format::Xlsx) {
            feature.SetGeometryDirectly(new OGRPoint(east, north, up));
        }
        // A warning counts: the Shapefile writer only warns of a value too
        // wide for its field, and writes something else.
        if (s.layer->CreateFeature(&feature) != OGRERR_NONE || errors.Any()) return failWrite();
    }
    ++s.points;
    if (s.transaction && ++s.inTransaction >= std::max(1, s.options.transaction)) {
        s.inTransaction = 0;
        if (s.dataset->CommitTransaction() != OGRERR_NONE ||
            s.dataset->StartTransaction() != OGRERR_NONE) {
            s.transaction = false;
            return failWrite();
        }
    }
    return true;
}

bool PointWriter::Commit() {
    State& s = *m;
    if (!s.open || s.failure != Failure::None) {
        Abandon();
        return false;
    }
    GdalErrors errors;
    bool ok = true;
    if (s.transaction) {
        ok = s.dataset->CommitTransaction() == OGRERR_NONE;
        s.transaction = false;
    }
    s.Close(true);  // GDAL writes what it still holds
    s.open = false;
    if (!ok || errors.Failed()) {
        s.files.Abandon();
        return s.Fail(Failure::Write, "写" + s.File() + "出错！" + errors.Suffix());
    }
    if (!s.files.Commit()) return s.Fail(Failure::Write, s.files.Message());
    return true;
}

void PointWriter::Abandon() {
    State& s = *m;
    if (s.dataset || s.open) {
        GdalErrors errors;  // nothing GDAL says now matters
        s.Close(false);
    }
    s.open = false;
    s.files.Abandon();
}

}  // namespace zelk::gis
