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
// UTF-8 XML. A name that is valid UTF-8 holding only characters allowed in
// XML 1.0 is written as it is, with & < > " ' escaped. Any other name is
// written in ASCII, each byte that is not printable ASCII as \xHH and a
// backslash as \\ (a GBK "点7" becomes \xB5\xE3 7 without the blank): no
// byte is lost and the file stays well-formed, at the price of readable
// Chinese for GBK names. An empty name gets no <name> element.
#pragma once

#include <string>
#include <string_view>

namespace zelk {

namespace pointformat {

void AppendKmlHeader(std::string& out);
// values: B, L (packed DMS), h (metres), the engine's geodetic triple.
void AppendKmlPlacemark(std::string& out, std::string_view name, const double values[3]);
void AppendKmlFooter(std::string& out);

// Appends bytes as XML character data (see above).
void AppendXmlText(std::string& out, std::string_view bytes);

}  // namespace pointformat

}  // namespace zelk
