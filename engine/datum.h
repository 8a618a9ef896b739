// The geodetic datums the program knows: a name, an ellipsoid, labels and the
// transverse-Mercator projection used with the datum in China.
//
//   WGS84          a 6378137 m,  published b, e, e'        (UTM, scale 0.9996)
//   Beijing 1954   Krassovsky: a 6378245 m, published b, e, e'  (Gauss-Kruger)
//   Xian 1980      IAG 1975:   a 6378140 m, published b, e, e'  (Gauss-Kruger)
//   CGCS2000       a 6378137 m, f 1/298.257222101 (derived)     (Gauss-Kruger)
//
// A datum here is its ellipsoid and nothing more: two datums are related
// only by a transformation step (seven parameters, or the identity), never
// by built-in shifts. WGS84 and CGCS2000 share almost the same ellipsoid but
// differ as frames by decimetres today, which only common points can tell.
#pragma once

#include <span>
#include <string_view>

#include "engine/ellipsoid.h"

namespace zelk {

enum class DatumId { Wgs84, Beijing54, Xian80, Cgcs2000 };

// The projected form used with a datum.
enum class Projection { GaussKruger, Utm };

struct Datum {
    DatumId id;
    const char* name;   // lower-case key, e.g. "beijing54"
    const char* label;  // as the dialogs write it, e.g. "北京54"
    Ellipsoid ellipsoid;
    Projection projection;
};

// Every datum, in the order of DatumId.
std::span<const Datum> Datums();
const Datum& DatumOf(DatumId id);
// nullptr when no datum has this name.
const Datum* FindDatum(std::string_view name);

}  // namespace zelk
