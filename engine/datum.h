// The geodetic datums the program knows: a name, an ellipsoid, labels, the
// transverse-Mercator projection used with the datum in China and the series
// it is computed with (engine/transverse_mercator.h).
//
//   WGS84          a 6378137 m,  published b, e, e'        (UTM, scale 0.9996; UTM terms)
//   Beijing 1954   Krassovsky: a 6378245 m, published b, e, e'  (Gauss-Kruger terms)
//   Xian 1980      IAG 1975:   a 6378140 m, published b, e, e'  (Gauss-Kruger terms)
//   CGCS2000       a 6378137 m, f 1/298.257222101 (derived)     (Gauss-Kruger; Krüger's series)
//
// The three datums the programs started with keep the series they were
// always computed with, so their results stay the same to the bit (to
// 0.55 mm of an exact projection within 3° of the meridian, 6 mm forward and
// 48 mm back at 4.5° to 6°). CGCS2000 and every datum added from now on use
// Krüger's series, to 0.1 µm of PROJ's tmerc within 6° of the meridian.
//
// A datum here is its ellipsoid and nothing more: two datums are related
// only by a transformation step (seven parameters, or the identity), never
// by built-in shifts. WGS84 and CGCS2000 share almost the same ellipsoid but
// differ as frames by decimetres today, which only common points can tell.
#pragma once

#include <span>
#include <string_view>

#include "engine/ellipsoid.h"
#include "engine/transverse_mercator.h"

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
    TmSeries series;  // the series its projection is computed with
};

// Every datum, in the order of DatumId.
std::span<const Datum> Datums();
const Datum& DatumOf(DatumId id);
// nullptr when no datum has this name.
const Datum* FindDatum(std::string_view name);

}  // namespace zelk
