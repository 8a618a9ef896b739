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

// The spatial reference of a layer of points in crs, as GisDefinitionOf
// gives it: its EPSG code where the table has one, else the WKT of its
// definition (a system of the user's own included); empty for a local grid
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
