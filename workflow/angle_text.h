// Geodetic angles (B and L) as text in the three formats a surveyor meets.
//
// The engine takes and gives angles as packed DMS doubles, ddd.mmssffff
// (engine/angle.h). These functions turn one token of a file into such a
// double and such a double into text; they never go through radians.
//
// The formats:
//   Packed   the packed double itself: 39.54301235 is 39°54′30.1235″.
//            Written with 9 decimals, ddd.mmssfffff (0.00001″, about
//            0.3 mm), with the digits of the DMS text below: carried, so
//            never 60′ or 60″ (30°59′59.999999996″ is 31.000000000).
//   Degrees  decimal degrees: 39.908369986. Written with 9 decimals
//            (about 0.1 mm).
//   Dms      degrees, minutes and seconds: 39°54′30.12345″. Written with
//            5 decimals of seconds, UTF-8 ° ′ ″ (U+00B0, U+2032, U+2033).
// Packed and decimal degrees look the same, so the format is always given,
// never guessed.
//
// Reading (ParseAngle):
//   Packed   exactly the number grammar of plain point files
//            (pointscan::ParseNumber): optional sign, digits with an
//            optional decimal point, optional exponent. No range check:
//            minutes or seconds of 60 and more go to the engine, which adds
//            them at their value, as plain files always did
//            (ParsePackedAngle).
//   Degrees  optional sign, digits with an optional decimal point (at least
//            one digit; no exponent).
//   Dms      optional sign, then either the marked form D°M′S″ or the colon
//            form D:M:S, then optionally blanks and a hemisphere letter
//            N, S, E or W (either case; S and W negate; not together with a
//            sign). The marks: ° or the GBK A1E3 for degrees; ′, ' or GBK
//            A1E4 for minutes; ″, ", '' or GBK A1E5 for seconds. Trailing
//            parts may be left out (39°54′, 39:54) and the mark of the last
//            part may be left out except the degree mark (39°54′30). Only
//            the last part may have decimals (39°54.5′ is 39°54′30″).
//            Minutes and seconds are below 60; degrees have no limit.
//   Surrounding blanks are not part of a token: the file readers trim them.
//
// Exactness. A packed text is read as the double nearest to it, which the
// engine reads with the text's whole degrees and minutes (engine/angle.h:
// 35.30 is 35°30′00″, whole minutes included). Only where a text lies
// within a rounding of the next whole minute and says otherwise (seconds
// of 99.99999999999…, below the minute by less than doubles resolve) is the
// neighbouring double on the text's side taken, so that the degrees and
// minutes the engine reads are always the text's. A degrees or DMS text is
// turned into packed digits with exact decimal arithmetic (the fraction of
// a part times 60, digit by digit), "39.908369986" -> "39.54301235496", and
// that decimal text is read as a packed text: a surveyor who typed the
// packed value gets the same double. Going through radians and RadianToDms
// instead would add the engine's pi and three roundings for nothing.
//
// Writing first takes the packed double at its decimal meaning: its exact binary value rounded to 12 decimals (1e-8″). That
// is the decimal the double was read from whenever it was read from at most
// 12 decimals (|value| < 2048), and it turns the binary neighbour just below
// a packed boundary, 39.549999999999997 for 39.55, back into 39°55′, where
// the digits taken literally would read 54′ 99.99…″. Minutes or seconds of
// 60 and more are carried (the engine adds them at their value), and all
// rounding after that is exact decimal arithmetic, a tie to even: seconds
// that round to 60 carry into the minute (39°59′59.999996″ is written
// 40°00′00.00000″ and 40.000000000), and degrees are rounded once from
// D + M/60 + S/3600. Values of 2^63 and more are whole numbers of degrees. A negative value
// (-0.0 too) is written with a minus sign, as printf writes it; infinities
// and NaN as "inf", "-inf", "nan", "-nan" in every format.
//
// Round trips: packed text with at most 9 decimals -> Dms text -> packed
// gives back the same double; degrees text with
// at most 9 decimals -> packed -> Degrees text gives back the same text
// (with 9 decimals).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

enum class AngleFormat { Packed, Degrees, Dms };

// Which angle a token holds, for the hemisphere letters: N and S only for
// latitudes, E and W only for longitudes, all four for Any.
enum class AngleAxis { Any, Latitude, Longitude };

// The names used on the command line and in settings: "packed", "degrees",
// "dms".
std::optional<AngleFormat> AngleFormatFromName(std::string_view name);
std::string_view AngleFormatName(AngleFormat format);

// Reads a whole token in format as an engine packed DMS double. False when
// the token is not a value in that format (or out of the range of double).
bool ParseAngle(std::string_view token, AngleFormat format, AngleAxis axis, double& packed);

// Reads a whole packed DMS token (the Packed format above) as the engine
// packed double that reads with the token's whole degrees and minutes.
bool ParsePackedAngle(std::string_view token, double& packed);

// Writes an engine packed DMS double in format: at most kAngleTextMax bytes,
// no terminating NUL; returns one past the last byte written.
inline constexpr std::size_t kAngleTextMax = 340;
char* WriteAngle(char* out, double packed, AngleFormat format);

// B or L of a converted point as the programs show it beside its other
// values (zelk-cli point, the main dialog's result fields): packed with nine
// decimals, as WriteAngle writes it, except that a value written as zero
// loses its minus sign ("-0.000000000" would not read back in a field).
std::string PackedAngleText(double packed);

}  // namespace zelk
