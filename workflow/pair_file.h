// Files of named common-point pairs: one pair a line, its name and both
// sides, as field controllers export control points and as the calibration
// dialog's pair table saves them.
//
// Plain (the default): name x y H x′ y′ H′ on each line (B L H or X Y Z for
// geodetic or geocentric sides, B and L in each side's angle format),
// separated by commas when the line has any, else by blanks and tabs. A
// line of six values has no name. Lines that are empty, hold only blanks
// and commas, or start with '#' are skipped.
//
// Csv: the first line not skipped is a header naming the columns in any
// order, with the names point files use (workflow/point_formats.h: name /
// 点名, x / N / 北, H / 高程, B / 纬度, X ...): the first column of a value
// belongs to the before side, the second to the after side. A name may
// also say its side with a mark at its end: 1 before, 2, ' or ′ after
// (x1 y1 H1 x2 y2 H2). The name column and six value columns must be
// there; others are ignored. Fields as in csv point files.
//
// A value that is not known is written '*' (in csv also an empty field):
// such a pair is plan-only ('*' heights) or height-only ('*' x and y), see
// workflow/calibration_run.h; it is read as kUnknown.
//
// Lines are at most pointformat::kMaxLineBytes; a problem names its line
// and field.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "workflow/estimation_run.h"

namespace zelk {

// Reads every pair of the file (at most kMaxCommonPoints), appending each
// as read with its line (both sides) and its name as pointscan::QuoteToken
// shows it. formats.format is Plain or Csv. The result names the pair file
// (inPairFile).
CommonPointsResult ReadPairFile(std::FILE* file, const Crs& beforeSystem, const Crs& afterSystem,
                                const CommonPointFormats& formats, CommonPoints& points);

// A pair as its file writes it, for a table that shows the text: the name
// (bytes as read, maybe empty) and the six values ('*' for a value not
// known, an empty csv field too), with the line.
struct PairTokens {
    std::string name;
    std::array<std::string, 6> values;
    std::int64_t line = 0;
};
// Reads every pair's text, with the same recognition, checks of the line's
// shape and limits as ReadPairFile; the values are not read as numbers.
CommonPointsResult ReadPairTokens(std::FILE* file, const Crs& beforeSystem, const Crs& afterSystem, bool csv,
                                  std::vector<PairTokens>& pairs);

// Writing a pair file: the csv header "name,x,y,H,x,y,H" (the labels of
// each side's axes), and a line a pair with its values as given (the text
// of a table's cells; an unknown value as "*"). False, and nothing
// appended, when the name would not read back: empty, or in plain holding
// a blank, a tab or a comma, or starting with '#'; in csv a name is quoted
// as csv point files quote it.
void AppendPairHeader(std::string& out, pointformat::Axes before, pointformat::Axes after);
bool AppendPairLine(std::string& out, bool csv, std::string_view name,
                    const std::array<std::string, 6>& values);
// Writes a pair file's text in place of path, the old file kept until the
// new one is whole; false when it cannot be written.
bool SavePairText(const std::filesystem::path& path, std::string_view text);

}  // namespace zelk
