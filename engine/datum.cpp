#include "engine/datum.h"

#include <cmath>

namespace zelk {

Ellipsoid Ellipsoid::FromFlattening(double a, double f) {
    const double e2 = f * (2 - f);
    return Ellipsoid(a, a * (1 - f), std::sqrt(e2), std::sqrt(e2 / (1 - e2)), f);
}

namespace {
// Built on first use, so that objects built before main can use it.
std::span<const Datum> Table() {
    static const Datum kDatums[] = {
    {DatumId::Wgs84, "wgs84", "WGS84",
     Ellipsoid::FromConstants(6378137.0, 6356752.3142, 0.081819190928907, 0.082094438036855,
                              1 / 298.257223563),
     Projection::Utm, TmSeries::Utm},
    {DatumId::Beijing54, "beijing54", "北京54",
     Ellipsoid::FromConstants(6378245.0, 6356863.0188, 0.081813333965454, 0.082088521768553,
                              1 / 298.3),
     Projection::GaussKruger, TmSeries::GaussKruger},
    {DatumId::Xian80, "xian80", "西安80",
     Ellipsoid::FromConstants(6378140.0, 6356755.2882, 0.081819221374409, 0.082094468790657,
                              1 / 298.257),
     Projection::GaussKruger, TmSeries::GaussKruger},
    {DatumId::Cgcs2000, "cgcs2000", "CGCS2000",
     Ellipsoid::FromFlattening(6378137.0, 1 / 298.257222101), Projection::GaussKruger,
     TmSeries::Kruger},
    };
    return kDatums;
}
}  // namespace

std::span<const Datum> Datums() { return Table(); }

const Datum& DatumOf(DatumId id) { return Table()[static_cast<std::size_t>(id)]; }

const Datum* FindDatum(std::string_view name) {
    for (const Datum& datum : Table()) {
        if (name == datum.name) return &datum;
    }
    return nullptr;
}

}  // namespace zelk
