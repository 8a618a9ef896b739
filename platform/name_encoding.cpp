#include "platform/name_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace nameencoding {

bool IsUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned low = 0x80;  // the least second byte allowed
        unsigned high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) low = 0xA0;   // overlong
            if (c == 0xED) high = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) low = 0x90;   // overlong
            if (c == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= more) return false;
        if (p[1] < low || p[1] > high) return false;
        for (int i = 2; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
        }
        p += more + 1;
    }
    return true;
}

namespace {

// One converter per thread, opened on first use.
class GbkConverter {
public:
    GbkConverter() : m_cd(::iconv_open("UTF-8", "GBK")) {}
    ~GbkConverter() {
        if (Ready()) ::iconv_close(m_cd);
    }
    GbkConverter(const GbkConverter&) = delete;
    GbkConverter& operator=(const GbkConverter&) = delete;

    bool Ready() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> Convert(std::string_view bytes) {
        if (!Ready()) return std::nullopt;
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // initial state
        // A GBK character of one or two bytes is at most three in UTF-8.
        std::string out(bytes.size() * 3 / 2 + 4, '\0');
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        char* to = out.data();
        std::size_t toLeft = out.size();
        if (::iconv(m_cd, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0) {
            return std::nullopt;  // EILSEQ, EINVAL (cut inside a character)
        }
        out.resize(out.size() - toLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

}  // namespace

std::optional<std::string> ToUtf8(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    thread_local GbkConverter converter;
    std::optional<std::string> converted = converter.Convert(bytes);
    // glibc's GBK maps every byte below 0x80 to itself, so the result is
    // UTF-8 whenever the conversion succeeds; checked all the same.
    if (converted && !IsUtf8(*converted)) return std::nullopt;
    return converted;
}

}  // namespace nameencoding
