// A conversion request run the way both programs run one: the check, the
// typed point (when there is one), the files; the message the program would
// end with goes through the message service, so that a RecordingMessages
// sees what a user sees.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/message_box.h"
#include "workflow/conversion_run.h"

using namespace zelk;

// How a run ended, as the tests tell runs apart.
enum class ConvertOutcome {
    Done,              // converted (and committed, with files)
    SettingRefused,    // RequestProblemText refused the request
    PointRefused,      // the typed point or a point of the file refused
    InputOpenFailed,   // "读转换前文件错误！", or a read error
    OutputOpenFailed,  // "写转换后文件错误！" at opening
    Unreadable,        // a bad token or a point cut short
    WriteFailed,       // a write error; the output untouched
    OutOfMemory,
    Cancelled,
};

inline ConvertOutcome OutcomeOf(const FileRun& run) {
    using Status = FileConversionResult::Status;
    switch (run.stage) {
        case FileRun::Stage::InputOpenFailed:
            return ConvertOutcome::InputOpenFailed;
        case FileRun::Stage::OutputOpenFailed:
            return ConvertOutcome::OutputOpenFailed;
        case FileRun::Stage::Converted:
            break;
    }
    if (run.committed) return ConvertOutcome::Done;
    switch (run.result.status) {
        case Status::Unreadable:
        case Status::CutShort:
        case Status::InputProblem:
            return ConvertOutcome::Unreadable;
        case Status::ReadError:
            return ConvertOutcome::InputOpenFailed;
        case Status::PointRefused:
            return ConvertOutcome::PointRefused;
        case Status::OutOfMemory:
            return ConvertOutcome::OutOfMemory;
        case Status::Cancelled:
            return ConvertOutcome::Cancelled;
        case Status::Ok:
        case Status::WriteError:
            break;
    }
    return ConvertOutcome::WriteFailed;
}

// point, when given, is the typed point; it receives the result.
inline ConvertOutcome RunRequest(const ConversionRequest& request,
                                 std::array<double, 3>* point = nullptr,
                                 const FileConversionOptions& options = {}) {
    if (const std::string problem = RequestProblemText(request); !problem.empty()) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        return ConvertOutcome::SettingRefused;
    }
    const ConversionChain chain = ChainFor(request);
    if (point) {
        auto& [a, b, c] = *point;
        if (const std::string problem = ConvertTypedPoint(chain, a, b, c); !problem.empty()) {
            ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
            return ConvertOutcome::PointRefused;
        }
    }
    if (!request.input || !request.output) return ConvertOutcome::Done;
    const FileRun run = ConvertFiles(request, chain, options);
    const UserMessage message = MessageFor(run);
    ShowMessage(message.text, message.caption, message.icon);
    return OutcomeOf(run);
}

// A request between two systems of the catalogue by name, with a file
// conversion when both paths are given.
inline ConversionRequest NamedRequest(const char* from, const char* to,
                                      std::vector<Transformation> steps = {Transformation::Seven({})},
                                      const std::filesystem::path& input = {},
                                      const std::filesystem::path& output = {}) {
    ConversionRequest request;
    request.from = MakeCrs(*FindSystem(from));
    request.to = MakeCrs(*FindSystem(to));
    request.steps = std::move(steps);
    if (!input.empty() && !output.empty()) {
        request.input = PointInput{input};
        request.output = PointOutput{output};
    }
    return request;
}
