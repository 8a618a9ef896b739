#include "workflow/kml_writer.h"

#include "platform/name_encoding.h"
#include "platform/number_text.h"
#include "workflow/angle_text.h"

namespace zelk {

namespace pointformat {

namespace {

// Length of the UTF-8 character at text[i] allowed in XML 1.0, or 0.
std::size_t XmlCharAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? 1 : 0;
    std::size_t n;
    char32_t code;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates, beyond U+10FFFF, U+FFFE and U+FFFF.
    const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
        code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return n;
}

bool IsXmlText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = XmlCharAt(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace

std::optional<std::string> KmlNameText(std::string_view name) {
    std::optional<std::string> text = nameencoding::ToUtf8(name);
    if (text && !IsXmlText(*text)) text.reset();
    return text;
}

void AppendXmlText(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&': out.append("&amp;"); break;
            case '<': out.append("&lt;"); break;
            case '>': out.append("&gt;"); break;
            case '"': out.append("&quot;"); break;
            case '\'': out.append("&apos;"); break;
            default: out.push_back(c);
        }
    }
}

void AppendKmlHeader(std::string& out) {
    out.append(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
        "<Document>\n");
}

bool AppendKmlPlacemark(std::string& out, std::string_view name, const double values[3]) {
    std::optional<std::string> shown;
    if (!name.empty()) {
        shown = KmlNameText(name);
        if (!shown) return false;
    }
    out.append("<Placemark>");
    if (shown) {
        out.append("<name>");
        AppendXmlText(out, *shown);
        out.append("</name>");
    }
    char text[2 * kAngleTextMax + kWriteFixedMax + 2];
    char* p = WriteAngle(text, values[1], AngleFormat::Degrees);
    *p++ = ',';
    p = WriteAngle(p, values[0], AngleFormat::Degrees);
    *p++ = ',';
    p = DropNegativeZero(p, WriteFixed(p, values[2], 3));
    out.append("<Point><coordinates>");
    out.append(text, p);
    out.append("</coordinates></Point></Placemark>\n");
    return true;
}

void AppendKmlFooter(std::string& out) { out.append("</Document>\n</kml>\n"); }

}  // namespace pointformat

}  // namespace zelk
