// KML output, to look at converted points on a map: a document of one
// Placemark per point, with the point's name and its
// <coordinates>lon,lat,h</coordinates> in decimal degrees (9 decimals,
// from the engine's packed DMS through WriteAngle, exact) and metres (3
// decimals). Meant for WGS84 and CGCS2000 geodetic points, which map
// programs take as WGS84; which systems may be written is the caller's
// choice.
//
// Written in pieces so that it streams like the other writers: the header
// once, the placemarks of each chunk (chunks can be written by several
// threads and concatenated in order), the footer once at the end.
//
// Names are bytes of unknown encoding (GBK or UTF-8) and a KML file is
// UTF-8 XML. A name that is valid UTF-8 is written as it is; any other is
// read as GBK and converted to UTF-8 (platform/name_encoding.h), so that a
// map shows 北京1 for the GBK bytes B1 B1 BE A9 31. A name that is neither,
// or holds a character XML 1.0 does not allow (a control character,
// U+FFFE, U+FFFF), cannot be written: AppendKmlPlacemark says false and a
// conversion refuses it, naming its line. & < > " ' are escaped. An empty
// name gets no <name> element.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelk {

namespace pointformat {

void AppendKmlHeader(std::string& out);
// values: B, L (packed DMS), h (metres), the engine's geodetic triple.
// False (nothing appended) for a name KML cannot hold (see above).
bool AppendKmlPlacemark(std::string& out, std::string_view name, const double values[3]);
void AppendKmlFooter(std::string& out);

// The name as KML holds it: UTF-8 text allowed in XML 1.0, from UTF-8 or
// GBK bytes; nothing when it cannot be had.
std::optional<std::string> KmlNameText(std::string_view name);

// Appends UTF-8 text allowed in XML as character data, escaped.
void AppendXmlText(std::string& out, std::string_view text);

}  // namespace pointformat

}  // namespace zelk
