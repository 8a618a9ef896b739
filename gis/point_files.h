// The GIS, CAD and spreadsheet formats as the core's file conversion takes
// them (workflow/point_stream.h): PointReader as a PointSource, PointWriter
// as a PointSink, and the spatial reference of a conversion's target.
//
// The programs hand Formats() to ConvertFiles through
// ConversionRequest::external; the conversion is otherwise the one every
// text file takes (workflow/conversion_run.h).
//
// Values. Written, every format holds the numbers the text files write:
// metres to the millimetre (3 decimals), B and L as the decimal degrees of
// --to-angles degrees (9 decimals, exact decimal arithmetic,
// workflow/angle_text.h; the core's records hold packed DMS). So a sheet
// keeps every digit in its 15, and a layer's attribute table shows
// 40.010, not the conversion's 40.009999997913837. Read, decimal degrees
// become packed DMS as a csv file's text in degrees does, so that a sheet
// of numbers converts exactly as the same numbers in a csv file.
//
// Angle formats. A sheet (XLSX) holds B and L as the user typed them: in
// ExternalInput::angles, as a csv file. A layer (Shapefile, GeoPackage,
// GeoJSON) and a drawing (DXF) hold decimal degrees: their geometry always,
// and their fields too (the angles given are not used).
#pragma once

#include <memory>
#include <optional>

#include "gis/gis_format.h"
#include "workflow/point_stream.h"

namespace zelk::gis {

// The gis format of a point-file format outside the core; nothing for the
// text formats.
std::optional<Format> GisFormatOf(pointformat::FileFormat format);

// The EPSG code of a national system of the catalogue, or 0 when it has
// none: WGS84, Beijing 1954, Xian 1980 and CGCS2000 geodetic (4326, 4214,
// 4610, 4490), WGS84 and CGCS2000 geocentric (4978, 4479), UTM on a zone's
// meridian (32601-32660), and the Gauss-Kruger systems of Beijing 1954,
// Xian 1980 and CGCS2000 on a meridian from 75° to 135° E that is a 3° zone's
// (the 3° codes, e.g. 4548 for CGCS2000 on 117°; every 6° zone's meridian is
// a 3° zone's too, and the two definitions are the same), or in one zone of
// 13-23 (6°) or 25-45 (3°) with the zone number in front of the easting.
// Worked out from the codes' order in the EPSG dataset; the EPSG table of
// the independent-systems work is meant to take its place.
int NationalEpsgCode(const Crs& crs);

// The spatial reference of a layer of points in crs: its EPSG code where it
// has one, else a WKT built from its definition (the datum's ellipsoid, the
// transverse Mercator on its meridian, scale 1 (Gauss-Kruger) or 0.9996
// (UTM), the false easting with the zone number); empty for a local grid
// and for zones with each point in its own zone, which no one system
// describes.
SpatialReference SpatialReferenceOf(const Crs& crs);

class PointFiles final : public ExternalFormats {
public:
    bool Has(pointformat::FileFormat format) const override;
    std::unique_ptr<PointSource> OpenSource(const ExternalInput& input,
                                            std::string& problem) const override;
    std::unique_ptr<PointSink> OpenSink(const ExternalOutput& output,
                                        std::string& problem) const override;
};

// The formats of this library, for the programs.
const ExternalFormats& Formats();

}  // namespace zelk::gis
