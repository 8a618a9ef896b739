// Packed DMS <-> radians.
//
// Every angle that enters or leaves the geodetic engine is packed DMS: one
// double of the form ddd.mmss (further decimals are fractions of a second;
// the sign belongs to the whole angle). 114.3015 is 114 deg 30 min 15 s.
// Inside the engine all angles are radians.
//
// The arithmetic below is part of the contract: constants, truncations and
// order of evaluation are fixed so that results match to the last bit.
#pragma once

namespace zelk {

// The system's pi, the one definition every layer uses: the decimal literal
// 3.14159265358979, seven units in the last place below the double nearest
// to pi. Deliberately not M_PI: every result depends on this value.
inline constexpr double kPi = 3.14159265358979;

// Truncation toward zero to a 32-bit signed integer, used again as a double.
// Values whose integer part does not fit 32 bits (never a real angle) are
// truncated in double arithmetic instead of overflowing the conversion.
double TruncInt32(double v);

// Packed DMS to radians. Minutes or seconds of 60 and more are added at their
// value; nothing is normalised or rounded before a truncation.
double DmsToRadian(double dms);

// Radians to packed DMS. No carry of 60 seconds into a minute: a value just
// below a whole degree comes back as (degree - 1).5959999...
double RadianToDms(double radian);

}  // namespace zelk
