// System files (a coordinate system of one's own).
//
// Whatever the bytes, the reader names the file in its error; a system it
// accepts is one the programs can use (CrsProblemText says nothing), and
// written again as a system file, or carried inside a parameters file, it
// reads back as the same system under the same name. Line ends do not matter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reference_points.h"
#include "workflow/parameter_file.h"
#include "workflow/system_file.h"

using namespace zelk;

namespace {

using reference::Check;

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<Crs> read = ParseSystemFile(text, "s.crs", "s", error);
    if (!read) Check(error.rfind("s.crs", 0) == 0, "an error names the file");

    std::string crlfError;
    const std::optional<Crs> crlf = ParseSystemFile(WithCrLf(text), "s.crs", "s", crlfError);
    Check(crlf.has_value() == read.has_value(), "CR LF accepted as LF");
    if (crlf) Check(SameSystem(*crlf, *read) && crlf->name == read->name, "CR LF gives the same system");
    if (!crlf) Check(crlfError == error, "CR LF gives the same error");

    if (!read) return 0;
    Check(CrsProblemText(*read, "").empty(), "an accepted system is usable");
    Check(!read->name.empty(), "an accepted system has a name");

    std::string againError;
    const std::optional<Crs> again = ParseSystemFile(FormatSystemFile(*read), "w.crs", "w", againError);
    Check(again.has_value(), "a written system file reads back");
    Check(SameSystem(*again, *read) && again->name == read->name, "a written system file is the same system");

    // Inside a parameters file, without its system file.
    Transformation t = Transformation::Seven({1, 2, 3, 4, 5, 6, 7});
    t.before = *read;
    t.after = MakeCrs(*FindSystem("wgs84-xyz"));
    const std::optional<Transformation> params = ParseParametersFile(FormatParametersFile(t, text), "p", againError);
    Check(params.has_value(), "a parameters file carrying the system reads back");
    Check(SameSystem(*params->before, *read) && params->before->name == read->name,
          "a parameters file carries the system whole");
    return 0;
}
