// GTX (NOAA VDatum): a 40-byte big-endian header, then float32 values, rows
// from south to north.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "grids/grid_file.h"
#include "grids/grid_source.h"
#include "platform/number_text.h"

namespace zelk::grids::detail {
namespace {

constexpr std::uint64_t kHeaderBytes = 40;
constexpr float kNoData = -88.8888f;
// Some published files mark missing nodes with huge values instead.
constexpr float kLargest = 1000.0f;

std::uint64_t BigEndian(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

double DoubleAt(const unsigned char* p) {
    const std::uint64_t bits = BigEndian(p, 8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::int32_t IntAt(const unsigned char* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(BigEndian(p, 4)));
}

float FloatAt(const unsigned char* p) {
    const std::uint32_t bits = static_cast<std::uint32_t>(BigEndian(p, 4));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The value of a node, NaN where it holds no data.
float Node(const unsigned char* p) {
    const float value = FloatAt(p);
    if (value == kNoData || !(std::fabs(value) <= kLargest)) return std::nanf("");
    return value;
}

struct Header {
    double south, west, dlat, dlon;
    std::int32_t rows, cols;
};

Header ReadHeader(const unsigned char* head) {
    return {DoubleAt(head), DoubleAt(head + 8), DoubleAt(head + 16), DoubleAt(head + 24),
            IntAt(head + 32), IntAt(head + 36)};
}

std::string Number(double value) { return FormatGeneral(value, 10); }

class GtxSource final : public GridSource {
public:
    bool Open(const std::filesystem::path& path, const std::string& name, GridGeometry& geometry,
              std::string& error) override {
        std::string why;
        if (!m_file.Open(path, why)) {
            error = name + ": " + why;
            return false;
        }
        const std::uint64_t size = m_file.Size();
        if (size < kHeaderBytes) {
            error = name + ": too short for a GTX grid (" + std::to_string(size) +
                    " bytes; the header alone takes 40)";
            return false;
        }
        unsigned char head[kHeaderBytes];
        if (!m_file.ReadAt(0, head, sizeof head, why)) {
            error = name + ": " + why;
            return false;
        }
        const Header h = ReadHeader(head);
        const std::string where = name + ": GTX header: ";
        if (!std::isfinite(h.south) || h.south < -90.0 || h.south > 90.0) {
            error = where + "the first latitude (" + Number(h.south) + ") is not within -90..90";
            return false;
        }
        if (!std::isfinite(h.west) || h.west < -360.0 || h.west > 360.0) {
            error = where + "the first longitude (" + Number(h.west) + ") is not within -360..360";
            return false;
        }
        if (!(h.dlat > 0.0) || !std::isfinite(h.dlat)) {
            error = where + "the latitude step (" + Number(h.dlat) + ") is not positive";
            return false;
        }
        if (!(h.dlon > 0.0) || !std::isfinite(h.dlon)) {
            error = where + "the longitude step (" + Number(h.dlon) + ") is not positive";
            return false;
        }
        if (h.rows <= 0 || h.cols <= 0) {
            error = where + "the numbers of rows and columns (" + std::to_string(h.rows) + ", " +
                    std::to_string(h.cols) + ") must be positive";
            return false;
        }
        const std::uint64_t values = static_cast<std::uint64_t>(h.rows) * static_cast<std::uint64_t>(h.cols);
        const std::uint64_t expected = kHeaderBytes + 4 * values;
        if (size < expected) {
            error = name + ": truncated: the GTX header promises " + std::to_string(h.rows) +
                    " x " + std::to_string(h.cols) + " values (" + std::to_string(expected) +
                    " bytes with the header), the file has " + std::to_string(size) + " bytes";
            return false;
        }
        if (size > expected) {
            error = name + ": the file size (" + std::to_string(size) +
                    " bytes) does not match the GTX header (" + std::to_string(h.rows) + " x " +
                    std::to_string(h.cols) + " values: " + std::to_string(expected) + " bytes)";
            return false;
        }
        geometry.south = h.south;
        geometry.west = h.west;
        geometry.dlat = h.dlat;
        geometry.dlon = h.dlon;
        geometry.rows = h.rows;
        geometry.cols = h.cols;
        m_cols = h.cols;

        // A grid must hold data: read on until a value that is not no-data.
        std::vector<unsigned char> chunk(1 << 16);
        for (std::uint64_t offset = kHeaderBytes; offset < size; offset += chunk.size()) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - offset));
            if (!m_file.ReadAt(offset, chunk.data(), count, why)) {
                error = name + ": " + why;
                return false;
            }
            for (std::size_t i = 0; i + 4 <= count; i += 4) {
                if (!std::isnan(Node(chunk.data() + i))) return true;
            }
        }
        error = name + ": holds no data: every value is the no-data mark (-88.8888) or NaN";
        return false;
    }

    bool Read(int row0, int rowCount, int col0, int colCount, float* out, std::size_t stride,
              std::string& error) override {
        m_buffer.resize(static_cast<std::size_t>(colCount) * 4);
        for (int r = 0; r < rowCount; ++r) {
            const std::uint64_t offset =
                kHeaderBytes +
                4 * (static_cast<std::uint64_t>(row0 + r) * static_cast<std::uint64_t>(m_cols) +
                     static_cast<std::uint64_t>(col0));
            if (!m_file.ReadAt(offset, m_buffer.data(), m_buffer.size(), error)) return false;
            float* row = out + static_cast<std::size_t>(r) * stride;
            for (int c = 0; c < colCount; ++c) row[c] = Node(m_buffer.data() + 4 * c);
        }
        return true;
    }

    // The buffer holds a row of a block, a few hundred values.
    std::size_t MemoryBound() const override { return sizeof(*this) + 4096; }

private:
    ReadOnlyFile m_file;
    int m_cols = 0;
    std::vector<unsigned char> m_buffer;
};

}  // namespace

bool LooksLikeGtx(const unsigned char* head, std::size_t size) {
    if (size < kHeaderBytes) return false;
    const Header h = ReadHeader(head);
    return h.south >= -90.0 && h.south <= 90.0 && h.west >= -360.0 && h.west <= 360.0 &&
           h.dlat > 0.0 && h.dlat <= 180.0 && h.dlon > 0.0 && h.dlon <= 360.0 && h.rows > 0 &&
           h.cols > 0 && h.rows <= 100000000 && h.cols <= 100000000;
}

std::unique_ptr<GridSource> NewGtxSource() { return std::make_unique<GtxSource>(); }

}  // namespace zelk::grids::detail
