// The common-point reader of the estimation run, and the estimation on what
// it read.
//
// The first byte chooses the systems, the rest is the two files, split at
// the first '|' (no '|': the after file is empty):
//   bits 0-2  before system, seven-parameter list index (6 and 7: none,
//             the values stay as read)
//   bits 3-5  after system, the same way
//   bit 6     estimate the parameters when three or more pairs were read
//   bit 7     central meridians 0 instead of 117 and 114.3
//
// The pairs must be exactly the plain reading's: as many as the shorter
// file holds, each point brought to X Y Z by PointToCartesian from the
// values in the file, the first problem reported in the right file on the
// right line, and never a pair that was not in both files.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reference_points.h"
#include "adapters/bursa_model.h"
#include "platform/message_box.h"
#include "adapters/conversion.h"
#include "workflow/estimation_run.h"

using namespace zelk;

namespace {

using reference::Check;
using reference::SameDouble;

class SilentMessages final : public IMessageService {
public:
    SilentMessages() : m_previous(SetMessageService(this)) {}
    ~SilentMessages() override { SetMessageService(m_previous); }
    void Show(const std::string&, const std::string&, MessageIcon) override { ++shown; }
    int shown = 0;

private:
    IMessageService* m_previous;
};

int SystemIndex(unsigned bits) { return bits < 6 ? static_cast<int>(bits) : -1; }

PointRecord Cartesian(const reference::Point& p, int system, double meridian) {
    PointRecord r{p.v[0], p.v[1], p.v[2]};
    PointToCartesian(system, meridian, r.X, r.Y, r.Z);
    return r;
}

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
    const int beforeSystem = SystemIndex(flags & 7);
    const int afterSystem = SystemIndex((flags >> 3) & 7);
    const bool estimate = (flags & 0x40) != 0;
    const double beforeMeridian = (flags & 0x80) != 0 ? 0.0 : 117.0;
    const double afterMeridian = (flags & 0x80) != 0 ? 0.0 : 114.3;
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
    std::vector<PointRecord> before, after;
    const CommonPointsResult result =
        ReadCommonPoints(beforeFile.Get(), afterFile.Get(), beforeSystem, afterSystem,
                         beforeMeridian, afterMeridian, before, after);

    Check(before.size() == after.size(), "pairs, not single points");
    Check(before.size() == want.pairs, "as many pairs as the shorter file holds");
    for (std::size_t i = 0; i < want.pairs; ++i) {
        Check(SameRecord(before[i], Cartesian(beforeWant.points[i], beforeSystem, beforeMeridian)),
              "before point as in the file");
        Check(SameRecord(after[i], Cartesian(afterWant.points[i], afterSystem, afterMeridian)),
              "after point as in the file");
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
        // Whatever the points, the estimation ends, shows exactly one message
        // and leaves the result alone unless it reports success.
        SilentMessages messages;
        CBursaModel model;
        SevenParams out{1, 2, 3, 4, 5, 6, 7};
        const int count =
            model.Estimate(after.data(), before.data(), static_cast<int>(before.size()), out);
        Check(messages.shown == 1, "one message per estimation");
        Check(count == kEstimateSingular || (count >= 0 && count <= 100), "estimation result");
        if (count == kEstimateSingular) {
            const SevenParams untouched{1, 2, 3, 4, 5, 6, 7};
            Check(std::memcmp(&out, &untouched, sizeof out) == 0, "no estimate when singular");
        }
    }
    return 0;
}
