#include "platform/name_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace zelk::nameencoding {

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

}  // namespace zelk::nameencoding
