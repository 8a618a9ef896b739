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

// How the engine reads the magnitude a (a >= 0, or NaN) of a packed value:
// whole degrees D = trunc(a), whole minutes M = trunc(a·100 − D·100), and
// seconds S = a·10000 − D·10000 − M·100, the products formed first.
//
// Whole minutes. The double nearest to a whole-minute decimal D.MM may lie
// so close below it (35.30 is 35.2999999999999971…) that a·100 − D·100
// lands just below MM: the truncation gives MM − 1 minutes and about 100
// seconds, 40″ too much (633 of the 10,801 whole minutes from 0° to 180°). Those doubles are recognised exactly:
// when a is the double nearest to D + (M + 1)/100 (the correctly rounded
// quotient (D·100 + M + 1)/100, which is what any reader of the text
// D.MM makes), the reading is M + 1 minutes and 0 seconds. Every other
// double reads as the truncation says. So a whole-minute value reads as
// typed, and so does a value with seconds typed behind a whole minute: its
// double differs from the whole minute's as long as the seconds are at
// least 1e-10″ (10 decimals) and the angle is below 128°; beyond, where a
// double cannot tell 1e-10″ from nothing, it reads as the whole minute.
// Minutes or seconds of 60 and more are added at their value (35.2960 is
// 35°29′60″ = 35°30′); nothing else is normalised or rounded.
struct DmsReading {
    double degrees;
    double minutes;
    double seconds;
};
DmsReading ReadDms(double a);

// Packed DMS to radians: ((S/3600 + M/60) + D) · sign · pi' / 180 with the
// reading above, the divisions as products by the doubles nearest to 1/3600,
// 1/60 and 1/180.
double DmsToRadian(double dms);

// Radians to packed DMS. No carry of 60 seconds into a minute: a value just
// below a whole degree comes back as (degree - 1).5959999...; the writers
// (workflow/angle_text.h) carry when they round.
double RadianToDms(double radian);

}  // namespace zelk
