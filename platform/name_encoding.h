// Point names for files whose text is UTF-8 (KML, GeoPackage, GeoJSON,
// XLSX, a Shapefile with a .cpg of UTF-8, DXF labels).
//
// Names are bytes as the point files hold them, and point files come in
// two encodings: UTF-8 and GBK. A name that is valid UTF-8 is taken as
// UTF-8 (a GBK name that happens to be valid UTF-8 too cannot be told
// apart; Chinese GBK names practically never are); any other name is
// converted from GBK (iconv; on Windows the system's code page 936); bytes that are neither have no text and
// are refused by the caller.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelk::nameencoding {

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF. The empty string is UTF-8.
bool IsUtf8(std::string_view bytes);

// The name as UTF-8: bytes as they are when they are UTF-8, else converted
// from GBK; nothing when they are neither.
std::optional<std::string> ToUtf8(std::string_view bytes);

}  // namespace zelk::nameencoding
