// GeoTIFF grids, read with libtiff: one band of float32 in tiles or strips,
// georeferenced in degrees. Decoded tiles or strips are kept, the last few,
// since neighbouring blocks of the cache share them.
#include <tiffio.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grids/grid_file.h"
#include "grids/grid_source.h"
#include "platform/number_text.h"

namespace zelk::grids::detail {
namespace {

// The TIFF tags a grid's geometry is read from (GeoTIFF's and GDAL's).
enum Tag : std::uint32_t {
    kTagPixelScale = 33550,
    kTagTiePoint = 33922,
    kTagTransformation = 34264,
    kTagGeoKeys = 34735,
    kTagGdalMetadata = 42112,
    kTagGdalNoData = 42113,
};
// GeoTIFF keys, and the values of them a geoid grid may have.
enum GeoKey : std::uint16_t { kKeyModelType = 1024, kKeyRasterType = 1025, kKeyAngularUnits = 2054 };
enum GeoKeyValue : std::uint16_t { kModelGeographic = 2, kRasterPixelIsPoint = 2, kUnitDegree = 9102 };

constexpr std::uint64_t kMaxChunkBytes = std::uint64_t{16} << 20;
constexpr std::size_t kKeptChunks = 4;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                             text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                             text.back() == '\r' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return text;
}

// An array-valued tag however libtiff knows it: as a tag it was told of
// (by this process or another library in it), or as one it met unknown in
// the file.
template <typename T>
bool GetArray(TIFF* tiff, std::uint32_t tag, const T*& data, std::uint32_t& count) {
    const TIFFField* field = TIFFFindField(tiff, tag, TIFF_ANY);
    if (field == nullptr) return false;
    void* values = nullptr;
    if (TIFFFieldPassCount(field)) {
        if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
            std::uint32_t n = 0;
            if (TIFFGetField(tiff, tag, &n, &values) != 1) return false;
            count = n;
        } else {
            std::uint16_t n = 0;
            if (TIFFGetField(tiff, tag, &n, &values) != 1) return false;
            count = n;
        }
    } else {
        if (TIFFGetField(tiff, tag, &values) != 1) return false;
        const int n = TIFFFieldReadCount(field);
        if (TIFFFieldDataType(field) == TIFF_ASCII) {
            count = values ? static_cast<std::uint32_t>(std::strlen(static_cast<const char*>(values))) : 0;
        } else {
            if (n <= 0) return false;
            count = static_cast<std::uint32_t>(n);
        }
    }
    if (values == nullptr) return false;
    data = static_cast<const T*>(values);
    return true;
}

bool GetText(TIFF* tiff, std::uint32_t tag, std::string& text) {
    const char* data = nullptr;
    std::uint32_t count = 0;
    const TIFFField* field = TIFFFindField(tiff, tag, TIFF_ANY);
    if (field == nullptr || TIFFFieldDataType(field) != TIFF_ASCII) return false;
    if (!GetArray(tiff, tag, data, count)) return false;
    text.assign(data, count);
    text = std::string(Trim(text));
    return true;
}

// The band-0 item of GDAL's metadata named name (SCALE, OFFSET).
std::optional<double> MetadataItem(const std::string& xml, std::string_view name) {
    const std::string nameAttribute = "name=\"" + std::string(name) + "\"";
    for (std::size_t at = xml.find("<Item"); at != std::string::npos; at = xml.find("<Item", at + 1)) {
        const std::size_t close = xml.find('>', at);
        if (close == std::string::npos) break;
        const std::string_view attributes(xml.data() + at, close - at);
        if (attributes.find(nameAttribute) == std::string_view::npos) continue;
        if (attributes.find("sample=\"0\"") == std::string_view::npos) continue;
        const std::size_t end = xml.find("</Item>", close);
        if (end == std::string::npos) break;
        return ParseDecimal(Trim(std::string_view(xml.data() + close + 1, end - close - 1)));
    }
    return std::nullopt;
}

class GeoTiffSource final : public GridSource {
public:
    ~GeoTiffSource() override {
        if (m_tiff) TIFFClose(m_tiff);
    }

    bool Open(const std::filesystem::path& path, const std::string& name, GridGeometry& geometry,
              std::string& error) override {
        m_name = name;
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetErrorHandlerExtR(options, &GeoTiffSource::OnError, this);
        TIFFOpenOptionsSetWarningHandlerExtR(options, &GeoTiffSource::OnWarning, this);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxChunkBytes * 4));
        // "m": read through read(), not a mapping of the whole file.
        m_tiff = TIFFOpenExt(path.c_str(), "rm", options);
        TIFFOpenOptionsFree(options);
        if (m_tiff == nullptr) return Fail("not a readable TIFF file", error);

        std::string why;
        ReadOnlyFile file;
        if (!file.Open(path, why)) return Fail(why, error);
        m_fileSize = file.Size();
        if (!CheckDirectories(error)) return false;
        if (!ReadLayout(error)) return false;
        if (!CheckWithinFile(error)) return false;
        if (!ReadGeoreferencing(geometry, error)) return false;
        if (!ReadNoDataAndScale(error)) return false;
        return CheckHoldsData(error);
    }

    bool Read(int row0, int rowCount, int col0, int colCount, float* out, std::size_t stride,
              std::string& error) override {
        for (int r = 0; r < rowCount; ++r) {
            const int row = row0 + r;
            const std::uint32_t tiffRow =
                static_cast<std::uint32_t>(m_topDown ? static_cast<int>(m_height) - 1 - row : row);
            float* line = out + static_cast<std::size_t>(r) * stride;
            std::uint32_t col = static_cast<std::uint32_t>(col0);
            const std::uint32_t end = col + static_cast<std::uint32_t>(colCount);
            while (col < end) {
                const std::uint32_t chunkCol = col / m_chunkWidth;
                const std::uint32_t index = (tiffRow / m_chunkHeight) * m_chunksAcross + chunkCol;
                const float* chunk = Chunk(index, error);
                if (chunk == nullptr) return false;
                const std::uint32_t stop = std::min(end, (chunkCol + 1) * m_chunkWidth);
                const float* source = chunk + static_cast<std::size_t>(tiffRow % m_chunkHeight) * m_chunkWidth +
                                      (col - chunkCol * m_chunkWidth);
                for (; col < stop; ++col) line[col - static_cast<std::uint32_t>(col0)] = Node(*source++);
            }
        }
        return true;
    }

    std::size_t MemoryBound() const override {
        return sizeof(*this) + kKeptChunks * static_cast<std::size_t>(m_chunkBytes);
    }

private:
    static int OnError(TIFF*, void* self, const char* module, const char* format, va_list args) {
        auto* source = static_cast<GeoTiffSource*>(self);
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        if (source->m_libraryError.empty()) {
            source->m_libraryError = std::string(module ? module : "") + (module ? ": " : "") + text;
        }
        return 1;
    }
    static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

    bool Fail(const std::string& what, std::string& error) {
        error = m_name + ": " + what;
        if (!m_libraryError.empty()) error += " (libtiff: " + m_libraryError + ")";
        return false;
    }

    // One full grid; reduced-resolution copies and masks are passed over.
    bool CheckDirectories(std::string& error) {
        const tdir_t count = TIFFNumberOfDirectories(m_tiff);
        int grids = 1;
        for (tdir_t d = 1; d < count; ++d) {
            if (!TIFFSetDirectory(m_tiff, d)) return Fail("cannot read image " + std::to_string(d + 1), error);
            std::uint32_t kind = 0;
            TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SUBFILETYPE, &kind);
            if ((kind & (FILETYPE_REDUCEDIMAGE | FILETYPE_MASK)) == 0) ++grids;
        }
        if (count > 1 && !TIFFSetDirectory(m_tiff, 0)) return Fail("cannot read the first image", error);
        if (grids > 1) {
            return Fail("holds " + std::to_string(grids) +
                            " grids; only files of a single grid are read",
                        error);
        }
        return true;
    }

    bool ReadLayout(std::string& error) {
        std::uint16_t samples = 1, bits = 0, format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
        TIFFGetField(m_tiff, TIFFTAG_IMAGEWIDTH, &m_width);
        TIFFGetField(m_tiff, TIFFTAG_IMAGELENGTH, &m_height);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_COMPRESSION, &compression);
        if (m_width == 0 || m_height == 0 || m_width > (1u << 30) || m_height > (1u << 30)) {
            return Fail("an image of " + std::to_string(m_width) + " x " + std::to_string(m_height) +
                            " pixels cannot be a grid",
                        error);
        }
        if (samples != 1) {
            return Fail("has " + std::to_string(samples) +
                            " values per pixel; a geoid grid has one",
                        error);
        }
        if (bits != 32 || format != SAMPLEFORMAT_IEEEFP) {
            return Fail("its values are not 32-bit floating point (" + std::to_string(bits) +
                            "-bit, sample format " + std::to_string(format) + ")",
                        error);
        }
        if (!TIFFIsCODECConfigured(compression)) {
            return Fail("compression " + std::to_string(compression) + " is not available", error);
        }
        m_tiled = TIFFIsTiled(m_tiff) != 0;
        if (m_tiled) {
            TIFFGetField(m_tiff, TIFFTAG_TILEWIDTH, &m_chunkWidth);
            TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &m_chunkHeight);
            m_chunkBytes = TIFFTileSize64(m_tiff);
        } else {
            std::uint32_t rowsPerStrip = m_height;
            TIFFGetFieldDefaulted(m_tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
            m_chunkWidth = m_width;
            m_chunkHeight = std::min(rowsPerStrip, m_height);
            m_chunkBytes = TIFFStripSize64(m_tiff);
        }
        const char* kind = m_tiled ? "tile" : "strip";
        if (m_chunkWidth == 0 || m_chunkHeight == 0 || m_chunkBytes == 0) {
            return Fail(std::string("bad ") + kind + " size", error);
        }
        if (m_chunkBytes != std::uint64_t{4} * m_chunkWidth * m_chunkHeight) {
            return Fail(std::string("unexpected ") + kind + " size", error);
        }
        if (m_chunkBytes > kMaxChunkBytes) {
            return Fail(std::string("each ") + kind + " holds " + std::to_string(m_chunkBytes) +
                            " bytes; at most 16 MiB are decoded at once (rewrite it tiled, e.g. "
                            "gdal_translate -co TILED=YES)",
                        error);
        }
        m_chunksAcross = (m_width + m_chunkWidth - 1) / m_chunkWidth;
        m_chunksDown = (m_height + m_chunkHeight - 1) / m_chunkHeight;
        if (std::uint64_t{m_chunksAcross} * m_chunksDown > UINT32_MAX) {
            return Fail(std::string("too many ") + kind + "s", error);
        }
        return true;
    }

    // Every tile or strip lies within the file: a truncated file is refused
    // here, not when a point first needs its end.
    bool CheckWithinFile(std::string& error) {
        const std::uint32_t count = m_chunksAcross * m_chunksDown;
        if ((m_tiled ? TIFFNumberOfTiles(m_tiff) : TIFFNumberOfStrips(m_tiff)) < count) {
            return Fail("lists fewer tiles or strips than its image needs", error);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            int bad = 0;
            const std::uint64_t offset = TIFFGetStrileOffsetWithErr(m_tiff, i, &bad);
            const std::uint64_t bytes = bad ? 0 : TIFFGetStrileByteCountWithErr(m_tiff, i, &bad);
            if (bad || offset > m_fileSize || bytes > m_fileSize - offset) {
                return Fail(std::string("truncated: ") + (m_tiled ? "tile " : "strip ") +
                                std::to_string(i) + " lies beyond the end of the file (" +
                                std::to_string(m_fileSize) + " bytes)",
                            error);
            }
        }
        return true;
    }

    bool ReadGeoreferencing(GridGeometry& geometry, std::string& error) {
        const std::uint16_t* keys = nullptr;
        std::uint32_t keyCount = 0;
        if (!GetArray(m_tiff, kTagGeoKeys, keys, keyCount) || keyCount < 4) {
            return Fail("no GeoTIFF keys: nothing says the grid is in latitude and longitude", error);
        }
        std::uint16_t modelType = 0, rasterType = 0, angularUnits = 0;
        const std::uint32_t declared = keys[3];
        for (std::uint32_t k = 0; k < declared && 4 + 4 * k + 3 < keyCount; ++k) {
            const std::uint16_t* key = keys + 4 + 4 * k;
            if (key[1] != 0) continue;  // a value kept in another tag
            if (key[0] == kKeyModelType) modelType = key[3];
            if (key[0] == kKeyRasterType) rasterType = key[3];
            if (key[0] == kKeyAngularUnits) angularUnits = key[3];
        }
        if (modelType != 0 && modelType != kModelGeographic) {
            return Fail("the grid is not in latitude and longitude (GeoTIFF model type " +
                            std::to_string(modelType) + ")",
                        error);
        }
        if (angularUnits != 0 && angularUnits != kUnitDegree) {
            return Fail("its angles are not degrees (angular unit " + std::to_string(angularUnits) + ")",
                        error);
        }

        double west = 0, north = 0, xStep = 0, yStep = 0;
        const double* matrix = nullptr;
        std::uint32_t count = 0;
        if (GetArray(m_tiff, kTagTransformation, matrix, count) && count >= 16) {
            if (matrix[1] != 0.0 || matrix[4] != 0.0) {
                return Fail("the grid is rotated (a transformation with rotation terms)", error);
            }
            west = matrix[3];
            xStep = matrix[0];
            north = matrix[7];
            yStep = -matrix[5];
        } else {
            const double* scale = nullptr;
            const double* tie = nullptr;
            std::uint32_t tieCount = 0;
            if (!GetArray(m_tiff, kTagPixelScale, scale, count) || count < 2 ||
                !GetArray(m_tiff, kTagTiePoint, tie, tieCount) || tieCount < 6) {
                return Fail("no tie point and pixel scale nor transformation: the grid has no "
                            "georeferencing",
                            error);
            }
            xStep = scale[0];
            yStep = scale[1];
            west = tie[3] - tie[0] * xStep;
            north = tie[4] + tie[1] * yStep;
        }
        if (rasterType != kRasterPixelIsPoint) {
            // Pixel-is-area: the nodes are the pixels' centres.
            west += 0.5 * xStep;
            north -= 0.5 * yStep;
        }
        if (!(xStep > 0.0) || !std::isfinite(xStep)) {
            return Fail("the longitude step (" + FormatGeneral(xStep, 10) + ") is not positive", error);
        }
        if (!(yStep != 0.0) || !std::isfinite(yStep)) {
            return Fail("the latitude step (" + FormatGeneral(yStep, 10) + ") is zero", error);
        }
        if (!std::isfinite(west) || !std::isfinite(north)) return Fail("its origin is not a number", error);
        m_topDown = yStep > 0.0;
        geometry.west = west;
        geometry.dlon = xStep;
        geometry.dlat = std::fabs(yStep);
        geometry.south = m_topDown ? north - yStep * (m_height - 1) : north;
        geometry.rows = static_cast<int>(m_height);
        geometry.cols = static_cast<int>(m_width);
        return true;
    }

    bool ReadNoDataAndScale(std::string& error) {
        std::string text;
        if (GetText(m_tiff, kTagGdalNoData, text)) {
            if (text == "nan" || text == "NaN" || text == "-nan") {
                m_hasNoData = false;  // NaN is no data anyway
            } else {
                const auto value = ParseDecimal(text);
                if (!value) return Fail("its GDAL_NODATA, '" + text + "', is not a number", error);
                m_hasNoData = std::fabs(*value) <= FLT_MAX;
                if (m_hasNoData) m_noData = static_cast<float>(*value);
            }
        }
        if (GetText(m_tiff, kTagGdalMetadata, text)) {
            if (const auto scale = MetadataItem(text, "SCALE")) m_scale = *scale;
            if (const auto offset = MetadataItem(text, "OFFSET")) m_offset = *offset;
        }
        return true;
    }

    float Node(float value) const {
        if (std::isnan(value) || (m_hasNoData && value == m_noData) || std::isinf(value)) {
            return std::nanf("");
        }
        if (m_scale != 1.0 || m_offset != 0.0) {
            const double scaled = value * m_scale + m_offset;
            return std::fabs(scaled) <= FLT_MAX ? static_cast<float>(scaled) : std::nanf("");
        }
        return value;
    }

    // Decodes tile or strip index into buffer; the number of its rows that
    // lie in the image, 0 on an error.
    std::uint32_t Decode(std::uint32_t index, std::vector<float>& buffer, std::string& error) {
        buffer.resize(static_cast<std::size_t>(m_chunkBytes / 4));
        m_libraryError.clear();
        const tmsize_t size = static_cast<tmsize_t>(m_chunkBytes);
        const tmsize_t got = m_tiled ? TIFFReadEncodedTile(m_tiff, index, buffer.data(), size)
                                     : TIFFReadEncodedStrip(m_tiff, index, buffer.data(), size);
        const std::uint32_t chunkRow = m_tiled ? index / m_chunksAcross : index;
        const std::uint32_t rows = std::min(m_chunkHeight, m_height - chunkRow * m_chunkHeight);
        if (got < 0 || static_cast<std::uint64_t>(got) < std::uint64_t{4} * m_chunkWidth * (m_tiled ? m_chunkHeight : rows)) {
            error = std::string("cannot decode ") + (m_tiled ? "tile " : "strip ") +
                    std::to_string(index) + (m_libraryError.empty() ? "" : " (libtiff: " + m_libraryError + ")");
            return 0;
        }
        return rows;
    }

    const float* Chunk(std::uint32_t index, std::string& error) {
        ++m_clock;
        for (Kept& kept : m_kept) {
            if (kept.index == index) {
                kept.lastUse = m_clock;
                return kept.values.data();
            }
        }
        Kept* slot = nullptr;
        if (m_kept.size() < kKeptChunks) {
            slot = &m_kept.emplace_back();
        } else {
            slot = &m_kept[0];
            for (Kept& kept : m_kept) {
                if (kept.lastUse < slot->lastUse) slot = &kept;
            }
        }
        slot->index = UINT32_MAX;
        if (Decode(index, slot->values, error) == 0) return nullptr;
        slot->index = index;
        slot->lastUse = m_clock;
        return slot->values.data();
    }

    // A grid must hold data: decode on until a value that is not no-data.
    bool CheckHoldsData(std::string& error) {
        std::vector<float> buffer;
        const std::uint32_t chunks = m_chunksAcross * m_chunksDown;
        for (std::uint32_t index = 0; index < chunks; ++index) {
            std::string why;
            const std::uint32_t rows = Decode(index, buffer, why);
            if (rows == 0) {
                error = m_name + ": " + why;
                return false;
            }
            const std::uint32_t chunkCol = m_tiled ? index % m_chunksAcross : 0;
            const std::uint32_t cols = std::min(m_chunkWidth, m_width - chunkCol * m_chunkWidth);
            for (std::uint32_t r = 0; r < rows; ++r) {
                for (std::uint32_t c = 0; c < cols; ++c) {
                    if (!std::isnan(Node(buffer[static_cast<std::size_t>(r) * m_chunkWidth + c]))) return true;
                }
            }
        }
        error = m_name + ": holds no data: every value is NaN or the GDAL_NODATA value";
        return false;
    }

    struct Kept {
        std::uint32_t index = UINT32_MAX;
        std::uint64_t lastUse = 0;
        std::vector<float> values;
    };

    std::string m_name;
    std::uint64_t m_fileSize = 0;
    TIFF* m_tiff = nullptr;
    std::string m_libraryError;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    bool m_tiled = false;
    std::uint32_t m_chunkWidth = 0;
    std::uint32_t m_chunkHeight = 0;
    std::uint64_t m_chunkBytes = 0;
    std::uint32_t m_chunksAcross = 0;
    std::uint32_t m_chunksDown = 0;
    bool m_topDown = true;
    bool m_hasNoData = false;
    float m_noData = 0.0f;
    double m_scale = 1.0;
    double m_offset = 0.0;
    std::vector<Kept> m_kept;
    std::uint64_t m_clock = 0;
};

}  // namespace

std::unique_ptr<GridSource> NewGeoTiffSource() { return std::make_unique<GeoTiffSource>(); }

}  // namespace zelk::grids::detail
