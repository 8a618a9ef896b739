// The common-point reader of the estimation run, and the seven-parameter
// estimation on what it read.
//
// The first byte chooses the systems, the rest is the two files, split at
// the first '|' (no '|': the after file is empty):
//   bits 0-2  before system: 0 beijing54-geodetic, 1 beijing54-gauss,
//             2 xian80-geodetic, 3 xian80-gauss, 4 wgs84-geodetic,
//             5 wgs84-utm, 6 wgs84-xyz, 7 xian80-xyz
//   bits 3-5  after system, the same way
//   bit 6     estimate the parameters when three or more pairs were read
//   bit 7     central meridians 0 instead of 117 and 114.3
//
// The pairs must be exactly the plain reading's: as many as the shorter
// file holds, each point as it is in the file, the first problem reported
// in the right file on the right line, and never a pair that was not in
// both files.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reference_points.h"
#include "workflow/calibration_run.h"
#include "workflow/coordinate_system.h"
#include "workflow/estimation_run.h"

using namespace zelk;

namespace {

using reference::Check;
using reference::SameDouble;

Crs SystemOf(unsigned bits, double meridian) {
    static const char* const kNames[8] = {"beijing54-geodetic", "beijing54-gauss", "xian80-geodetic",
                                          "xian80-gauss",       "wgs84-geodetic",  "wgs84-utm",
                                          "wgs84-xyz",          "xian80-xyz"};
    return MakeCrs(*FindSystem(kNames[bits & 7]), Zoning::Meridian, meridian);
}

PointRecord AsRead(const reference::Point& p) { return PointRecord{p.v[0], p.v[1], p.v[2]}; }

bool SameRecord(const PointRecord& a, const PointRecord& b) {
    return SameDouble(a.X, b.X) && SameDouble(a.Y, b.Y) && SameDouble(a.Z, b.Z);
}

// What the run must give: pairs while both files have points. Before each
// pair the before file's end is looked for, after each pair the after
// file's: a clean end found there stops the run without a problem, even when
// the other file goes on with something unreadable.
struct Expected {
    std::size_t pairs = 0;
    bool problem = false;
    bool inAfter = false;
    const reference::Reading* file = nullptr;  // the one with the problem
};

Expected Expect(const reference::Reading& before, const reference::Reading& after) {
    Expected e;
    for (std::size_t i = 0;; ++i) {
        if (i > 0 && i == after.points.size() && after.ending == reference::Ending::Clean) {
            e.pairs = i;
            return e;
        }
        if (i == before.points.size()) {
            if (before.ending != reference::Ending::Clean) {
                e.problem = true;
                e.file = &before;
            }
            e.pairs = i;
            return e;
        }
        if (i == after.points.size()) {
            if (after.ending != reference::Ending::Clean) {
                e.problem = true;
                e.inAfter = true;
                e.file = &after;
            }
            e.pairs = i;
            return e;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const bool estimate = (flags & 0x40) != 0;
    const Crs beforeSystem = SystemOf(flags & 7, (flags & 0x80) != 0 ? 0.0 : 117.0);
    const Crs afterSystem = SystemOf(flags >> 3, (flags & 0x80) != 0 ? 0.0 : 114.3);
    const std::string_view files(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = files.find('|');
    const std::string_view beforeText = files.substr(0, split);
    const std::string_view afterText =
        split == std::string_view::npos ? std::string_view() : files.substr(split + 1);

    const reference::Reading beforeWant = reference::ReadPoints(beforeText, false);
    const reference::Reading afterWant = reference::ReadPoints(afterText, false);
    const Expected want = Expect(beforeWant, afterWant);

    reference::MemoryInput beforeFile(beforeText);
    reference::MemoryInput afterFile(afterText);
    CommonPoints points;
    const CommonPointsResult result = ReadCommonPoints(
        beforeFile.Get(), afterFile.Get(), beforeSystem, afterSystem, CommonPointFormats{}, points);
    const std::vector<PointRecord>& before = points.before;
    const std::vector<PointRecord>& after = points.after;

    Check(before.size() == after.size(), "pairs, not single points");
    Check(before.size() == want.pairs, "as many pairs as the shorter file holds");
    Check(points.lines.before.size() == want.pairs && points.lines.after.size() == want.pairs,
          "a line for every point");
    for (std::size_t i = 0; i < want.pairs; ++i) {
        Check(SameRecord(before[i], AsRead(beforeWant.points[i])), "before point as in the file");
        Check(SameRecord(after[i], AsRead(afterWant.points[i])), "after point as in the file");
    }
    if (!want.problem) {
        Check(result.status == CommonPointsResult::Status::Ok, "clean run");
    } else {
        const bool unreadable = want.file->ending == reference::Ending::Unreadable;
        Check(result.status == (unreadable ? CommonPointsResult::Status::Unreadable
                                           : CommonPointsResult::Status::CutShort),
              "the kind of problem");
        Check(result.inAfterFile == want.inAfter, "the file of the problem");
        Check(result.line == want.file->line, "the line of the problem");
        if (unreadable) {
            reference::CheckQuoted(result.token, want.file->token);
        } else {
            Check(result.token.empty(), "no token for a cut-short point");
        }
    }

    if (estimate && before.size() >= 3) {
        // Whatever the points, the estimation ends with one message (the
        // report or the problem) and gives parameters only when it reports
        // success.
        CalibrationSettings settings;
        settings.before = beforeSystem;
        settings.after = afterSystem;
        const CalibrationEstimate e = EstimateCalibration(settings, before, after, points.lines);
        Check(!e.message.empty(), "one message per estimation");
        using Status = CalibrationEstimate::Status;
        Check(e.status == Status::Estimated || e.status == Status::Singular ||
                  e.status == Status::PointRefused,
              "estimation result");
        if (e.status == Status::Estimated) {
            Check(e.residuals.size() == before.size(), "a residual row for every pair");
        } else {
            const SevenParams none{};
            Check(std::memcmp(&e.calibration.seven, &none, sizeof none) == 0 && e.residuals.empty(),
                  "no estimate when refused");
        }
        if (e.status == Status::PointRefused) {
            Check(e.message.find("文件第") != std::string::npos, "a refused point named by its line");
        }
    }
    return 0;
}
