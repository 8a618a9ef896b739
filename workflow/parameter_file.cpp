#include "workflow/parameter_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/file_conversion.h"
#include "workflow/epsg.h"
#include "workflow/key_value_file.h"
#include "workflow/point_scan.h"
#include "workflow/system_file.h"

namespace zelk {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

struct SevenField {
    const char* name;
    double SevenParams::*member;
};
constexpr SevenField kSevenFields[7] = {
    {"dX0", &SevenParams::dX0},     {"dY0", &SevenParams::dY0},     {"dZ0", &SevenParams::dZ0},
    {"K", &SevenParams::K},         {"betaX", &SevenParams::betaX}, {"betaY", &SevenParams::betaY},
    {"betaZ", &SevenParams::betaZ},
};

struct FourField {
    const char* name;
    double FourParams::*member;
};
constexpr FourField kFourFields[4] = {
    {"dX", &FourParams::dX},
    {"dY", &FourParams::dY},
    {"alpha", &FourParams::alpha},
    {"scale", &FourParams::K},
};

struct ThreeField {
    const char* name;
    double ThreeParams::*member;
};
constexpr ThreeField kThreeFields[3] = {
    {"dX0", &ThreeParams::dX}, {"dY0", &ThreeParams::dY}, {"dZ0", &ThreeParams::dZ}};

constexpr const char* kCoefficientNames[6] = {"a0", "a1", "a2", "a3", "a4", "a5"};

const char* HeightModelKey(HeightModel model) {
    static constexpr const char* kKeys[] = {"fixed", "plane", "quadratic"};
    return kKeys[static_cast<int>(model)];
}

std::string Quoted(std::string_view text) { return QuotedValue(text); }

void AppendValue(std::string& out, const char* name, double value) {
    out += name;
    out += " = ";
    out += RoundTripText(value);
    out += '\n';
}

void AppendSystem(std::string& out, const char* side, const zelk::Crs& crs) {
    if (!crs.IsCatalogued()) {
        // A system of its own goes in whole, so the file reads without its
        // system file.
        out += SystemDefinitionLines(crs, std::string(side) + "-");
        return;
    }
    const zelk::SystemEntry* entry = zelk::FindSystem(crs.datum, crs.form);
    if (entry == nullptr) return;
    out += std::string(side) + " = " + entry->name + "\n";
    if (!crs.IsProjected()) return;
    if (crs.zoning == zelk::Zoning::Meridian) {
        out += std::string(side) + "-meridian = " + RoundTripText(crs.meridian) + "\n";
        return;
    }
    out += std::string(side) + "-zone = " + (crs.zoning == zelk::Zoning::Zone3 ? "3" : "6") + "\n";
    if (crs.zone != 0) out += std::string(side) + "-zone-number = " + std::to_string(crs.zone) + "\n";
}

using Kind = KeyValueFile::Kind;
using Entry = KeyValueFile::Entry;

// The file's lines, and the check that every one was taken.
class Entries : public KeyValueFile {
public:
    // firstLine: the line of the file the text starts on.
    explicit Entries(const std::string& source, int firstLine = 1)
        : KeyValueFile(source), m_firstLine(firstLine) {}

    bool Read(std::string_view text, std::string& error) { return KeyValueFile::Read(text, error, m_firstLine); }

    // Every line must have been used (height coefficients beyond the
    // model's, a zone or meridian without its system).
    bool NoneLeft(std::string& error) const {
        const std::string* first = FirstUnused({"model"});
        if (first == nullptr) return true;
        error = Where(Peek(*first)->line) + Quoted(*first) + " does not belong to this file's model";
        return false;
    }

private:
    int m_firstLine;
};

// The first definition key of a side other than its meridian (which a
// system of the catalogue has too); nothing when there is none.
std::optional<std::string> DefinitionKeyOf(const Entries& entries, const std::string& side) {
    std::optional<std::string> found;
    const Entry* first = nullptr;
    for (const zelk::DefinitionKey& key : zelk::SystemDefinitionKeys()) {
        const std::string name = side + "-" + key.name;
        const Entry* entry = entries.Peek(name);
        if (entry == nullptr || name == side + "-meridian") continue;
        if (first == nullptr || entry->line < first->line) {
            first = entry;
            found = name;
        }
    }
    return found;
}

// The line that names a side's system: "before = NAME", or the form of a
// system defined in the file.
const Entry* SideLine(const Entries& entries, const std::string& side, std::string& key) {
    key = side;
    if (const Entry* entry = entries.Peek(side)) return entry;
    key = side + "-form";
    return entries.Peek(key);
}

std::optional<zelk::Crs> ReadSystem(Entries& entries, const std::string& side,
                                    std::string& error, bool& failed) {
    if (const std::optional<std::string> defined = DefinitionKeyOf(entries, side)) {
        // A system of the user's own, defined in the file by the keys of a
        // system file: never with a name of the catalogue or zones.
        for (const std::string& key : {side, side + "-zone", side + "-zone-number"}) {
            if (const Entry* entry = entries.Peek(key)) {
                error = entries.Where(entry->line) + "'" + key + "' and '" + *defined +
                        "' exclude each other (a system is named, or defined in the file)";
                failed = true;
                return std::nullopt;
            }
        }
        std::optional<zelk::Crs> crs = zelk::ReadSystemDefinition(entries, side + "-", error);
        failed = !crs;
        return crs;
    }
    const Entry* name = entries.Find(side);
    const Entry* meridian = entries.Find(side + "-meridian");
    const Entry* zone = entries.Find(side + "-zone");
    const Entry* number = entries.Find(side + "-zone-number");
    const auto fail = [&](const Entry* at, const std::string& what) {
        error = entries.Where(at->line) + what;
        failed = true;
        return std::nullopt;
    };
    if (name == nullptr) {
        for (const Entry* setting : {meridian, zone, number}) {
            if (setting != nullptr) return fail(setting, "'" + side + "' names no system for this setting");
        }
        return std::nullopt;
    }
    if (zelk::IsEpsgName(name->value)) {
        for (const Entry* setting : {meridian, zone, number}) {
            if (setting != nullptr) return fail(setting, Quoted(name->value) + " has its own meridian or zone");
        }
        std::string problem;
        std::optional<zelk::Crs> crs = zelk::EpsgCrs(name->value, problem);
        if (!crs) return fail(name, problem);
        return crs;
    }
    const zelk::SystemEntry* entry = zelk::FindSystem(name->value);
    if (entry == nullptr) return fail(name, "unknown coordinate system " + Quoted(name->value));
    if (meridian != nullptr && zone != nullptr) {
        return fail(meridian->line > zone->line ? meridian : zone,
                    "'" + side + "-meridian' and '" + side + "-zone' exclude each other");
    }
    if (entry->form != zelk::Form::Projected) {
        for (const Entry* setting : {meridian, zone, number}) {
            if (setting != nullptr) return fail(setting, Quoted(name->value) + " is not projected");
        }
    }
    zelk::Zoning zoning = zelk::Zoning::Meridian;
    double degrees = 0.0;
    int zoneNumber = 0;
    if (zone != nullptr) {
        if (zone->value != "3" && zone->value != "6") {
            return fail(zone, "the zone width " + Quoted(zone->value) + " is not 3 or 6");
        }
        zoning = zone->value == "3" ? zelk::Zoning::Zone3 : zelk::Zoning::Zone6;
        if (number != nullptr) {
            const auto value = ParseInt(number->value);
            if (!value || *value < 1 || *value > zelk::ZoneCount(zoning)) {
                return fail(number, "the zone " + Quoted(number->value) + " is not a " +
                                        zone->value + "-degree zone (1 to " +
                                        std::to_string(zelk::ZoneCount(zoning)) + ")");
            }
            zoneNumber = *value;
        }
    } else if (number != nullptr) {
        return fail(number, "'" + side + "-zone-number' needs '" + side + "-zone'");
    } else if (meridian != nullptr) {
        const auto value = ParseDecimal(meridian->value);
        if (!value || !zelk::MeridianInRange(*value)) {
            return fail(meridian, "the central meridian " + Quoted(meridian->value) +
                                      " is not an angle within 180 degrees");
        }
        degrees = *value;
    }
    zelk::Crs crs = zelk::MakeCrs(*entry, zoning, degrees);
    crs.zone = zoneNumber;
    if (crs.IsUtm() && zoning != zelk::Zoning::Meridian) {
        return fail(zone, "UTM has no 3- or 6-degree zones here");
    }
    return crs;
}

// The rules an estimation follows, applied to what a file says; false with
// the problem, naming the key at fault.
bool JudgeSystems(Entries& entries, const zelk::Transformation& t, std::string& error) {
    if (t.before.has_value() != t.after.has_value()) {
        const std::string missing = t.before ? "after" : "before";
        error = entries.Source() + ": " + missing + " is missing (a file that names the system on one side names the other too)";
        return false;
    }
    if (!t.before) return true;
    const std::string problem = zelk::ModelProblemText(t.model, t.height.has_value(), *t.before, *t.after);
    if (!problem.empty()) {
        const bool beforeAtFault = t.model == zelk::Transformation::Model::Four
                                       ? !t.before->IsProjected()
                                       : t.before->form == zelk::Form::Local;
        std::string key;
        const Entry* entry = SideLine(entries, beforeAtFault ? "before" : "after", key);
        error = entries.Where(entry->line) + key + " = " + entry->value + ": " + problem;
        return false;
    }
    for (const bool after : {false, true}) {
        const zelk::Crs& side = after ? *t.after : *t.before;
        if (!zelk::IsFittedPlane(t, after) || !side.IsZoned() || side.zone != 0) continue;
        const std::string key = std::string(after ? "after" : "before") + "-zone";
        error = entries.Where(entries.Peek(key)->line) + key + " = " + entries.Peek(key)->value +
                ": the fit was made in one zone, and " + key +
                "-number (the zone of the common points, the first digits of their eastings) is "
                "missing";
        return false;
    }
    return true;
}

}  // namespace

std::string RoundTripText(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

namespace {
// Each line of comment prefixed with "# ".
std::string CommentLines(std::string_view comment) {
    std::string out;
    while (!comment.empty()) {
        const std::size_t end = comment.find('\n');
        out += "# ";
        out += comment.substr(0, end);
        out += '\n';
        if (end == std::string_view::npos) break;
        comment.remove_prefix(end + 1);
    }
    return out;
}
}  // namespace

std::string FormatParametersFile(const Transformation& c, std::string_view comment) {
    std::string out = CommentLines(comment);
    if (c.model == Transformation::Model::Four) out += "model = four\n";
    if (c.model == Transformation::Model::Three) out += "model = three\n";
    if (c.model == Transformation::Model::Seven &&
        c.convention != RotationConvention::CoordinateFrame) {
        out += std::string("convention = ") + ConventionName(c.convention) + "\n";
    }
    if (c.before) AppendSystem(out, "before", *c.before);
    if (c.after) AppendSystem(out, "after", *c.after);
    switch (c.model) {
        case Transformation::Model::Seven:
            for (const SevenField& field : kSevenFields) AppendValue(out, field.name, c.seven.*field.member);
            break;
        case Transformation::Model::Four:
            for (const FourField& field : kFourFields) AppendValue(out, field.name, c.four.*field.member);
            break;
        case Transformation::Model::Three:
            for (const ThreeField& field : kThreeFields) AppendValue(out, field.name, c.three.*field.member);
            break;
    }
    if (c.height) {
        out += std::string("height = ") + HeightModelKey(c.height->model) + "\n";
        AppendValue(out, "height-x0", c.height->x0);
        AppendValue(out, "height-y0", c.height->y0);
        for (int j = 0; j < HeightCoefficients(c.height->model); ++j) {
            AppendValue(out, kCoefficientNames[j], c.height->a[static_cast<std::size_t>(j)]);
        }
        if (c.geoid) out += "geoid = " + GeoidFileValue(c.geoid->name) + "\n";
    }
    return out;
}

namespace {

// The names a file of the model may hold, and which are numbers.
std::map<std::string, Kind> KnownNames(Transformation::Model model) {
    std::map<std::string, Kind> names = {
        {"model", Kind::Text},         {"before", Kind::Text},      {"after", Kind::Text},
        {"before-meridian", Kind::Number}, {"after-meridian", Kind::Number},
        {"before-zone", Kind::Text},   {"after-zone", Kind::Text},  {"height", Kind::Text},
        {"before-zone-number", Kind::Text}, {"after-zone-number", Kind::Text},
        {"height-x0", Kind::Number},   {"height-y0", Kind::Number}, {"geoid", Kind::Text},
    };
    for (const char* a : kCoefficientNames) names[a] = Kind::Number;
    for (const char* side : {"before-", "after-"}) {
        for (const zelk::DefinitionKey& key : zelk::SystemDefinitionKeys()) {
            names[side + std::string(key.name)] = key.kind;
        }
    }
    switch (model) {
        case Transformation::Model::Seven:
            names["convention"] = Kind::Text;
            for (const SevenField& field : kSevenFields) names[field.name] = Kind::Number;
            break;
        case Transformation::Model::Four:
            for (const FourField& field : kFourFields) names[field.name] = Kind::Number;
            break;
        case Transformation::Model::Three:
            for (const ThreeField& field : kThreeFields) names[field.name] = Kind::Number;
            break;
    }
    return names;
}

}  // namespace

namespace {

// Every number of a model's table of fields into its member of params;
// false with error naming the first one missing or unreadable.
template <class Field, std::size_t N, class Params>
bool ReadFields(Entries& entries, const Field (&fields)[N], const char* needed, Params& params,
                std::string& error) {
    for (const Field& field : fields) {
        if (!entries.Number(field.name, needed, params.*field.member, error)) return false;
    }
    return true;
}

// One transformation from the text of a file, or of one step of a chain
// file starting at firstLine; geoidLine receives the line of the geoid key,
// when there is one.
std::optional<Transformation> ParseOne(std::string_view text, const std::string& source,
                                       int firstLine, std::string& error, int& geoidLine) {
    Entries entries(source, firstLine);
    if (!entries.Read(text, error)) return std::nullopt;
    Transformation c;
    if (const Entry* model = entries.Peek("model")) {
        if (model->value == "four") {
            c.model = Transformation::Model::Four;
        } else if (model->value == "three") {
            c.model = Transformation::Model::Three;
        } else if (model->value != "seven") {
            error = entries.Where(model->line) + "the model " + Quoted(model->value) +
                    " is not seven, three or four";
            return std::nullopt;
        }
    }
    // Line by line first: every name known, every number a number.
    const std::string known = c.model == Transformation::Model::Seven
                                  ? "the names are dX0 dY0 dZ0 K betaX betaY betaZ"
                              : c.model == Transformation::Model::Three ? "the names are dX0 dY0 dZ0"
                                                                        : "the names are dX dY alpha scale";
    if (!entries.CheckLines(KnownNames(c.model), known, error)) return std::nullopt;
    if (const Entry* convention = entries.Find("convention")) {
        const auto value = ConventionFromName(convention->value);
        if (!value) {
            error = entries.Where(convention->line) + "the convention " +
                    Quoted(convention->value) + " is not coordinate-frame or position-vector";
            return std::nullopt;
        }
        c.convention = *value;
    }
    bool failed = false;
    c.before = ReadSystem(entries, "before", error, failed);
    if (failed) return std::nullopt;
    c.after = ReadSystem(entries, "after", error, failed);
    if (failed) return std::nullopt;
    const bool numbers =
        c.model == Transformation::Model::Seven
            ? ReadFields(entries, kSevenFields, "all seven parameters are needed", c.seven, error)
        : c.model == Transformation::Model::Four
            ? ReadFields(entries, kFourFields, "dX, dY, alpha and scale are needed", c.four, error)
            : ReadFields(entries, kThreeFields, "dX0, dY0 and dZ0 are needed", c.three, error);
    if (!numbers) return std::nullopt;
    std::optional<HeightModel> model;
    if (const Entry* height = entries.Find("height")) {
        for (HeightModel m : {HeightModel::Fixed, HeightModel::Plane, HeightModel::Quadratic}) {
            if (height->value == HeightModelKey(m)) model = m;
        }
        if (!model && height->value != "none") {
            error = entries.Where(height->line) + "the height model " + Quoted(height->value) +
                    " is not none, fixed, plane or quadratic";
            return std::nullopt;
        }
    }
    if (model) {
        HeightFit fit;
        fit.status = HeightFit::Status::Ok;
        fit.model = *model;
        const std::string needed = "the height fit needs its centroid and coefficients";
        if (!entries.Number("height-x0", needed, fit.x0, error) ||
            !entries.Number("height-y0", needed, fit.y0, error)) {
            return std::nullopt;
        }
        for (int j = 0; j < HeightCoefficients(*model); ++j) {
            if (!entries.Number(kCoefficientNames[j], needed, fit.a[static_cast<std::size_t>(j)],
                                error)) {
                return std::nullopt;
            }
        }
        c.height = fit;
    }
    if (const Entry* geoid = entries.Find("geoid")) {
        if (!model) {
            error = entries.Where(geoid->line) +
                    "a geoid model serves a height fit, and this file has none (height = fixed, "
                    "plane or quadratic)";
            return std::nullopt;
        }
        if (geoid->value.empty()) {
            error = entries.Where(geoid->line) +
                    "the geoid is empty (a model name such as egm96, or a grid file)";
            return std::nullopt;
        }
        c.geoid = GeoidModel{geoid->value, nullptr, {}};
        geoidLine = geoid->line;
    }
    // What the model and the height fit did not take belongs to no one.
    if (!entries.NoneLeft(error)) return std::nullopt;
    if (!JudgeSystems(entries, c, error)) return std::nullopt;
    return c;
}

// A line or part of one without the blanks, tabs and CR around it.
std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimLine(std::string_view line) { return Trim(line); }

// "[step N]" (blanks allowed inside the brackets); 0 when the line is not
// a step header.
int StepHeader(std::string_view line) {
    line = TrimLine(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return 0;
    line = Trim(line.substr(1, line.size() - 2));
    if (line.substr(0, 4) != "step") return 0;
    const std::optional<int> number = ParseInt(std::string(Trim(line.substr(4))));
    return number && *number > 0 ? *number : -1;
}

bool IsSectionLine(std::string_view line) {
    line = TrimLine(line);
    return !line.empty() && line.front() == '[';
}

}  // namespace

namespace {

// A file of one transformation: a chain file says so, rather than that its
// header is no value.
std::optional<Transformation> ParseSingle(std::string_view text, const std::string& source,
                                          std::string& error, int& geoidLine) {
    int line = 0;
    for (std::string_view rest = text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text; !rest.empty();) {
        ++line;
        const std::size_t end = rest.find('\n');
        if (IsSectionLine(rest.substr(0, end))) {
            error = source + ":" + std::to_string(line) + ": " + Quoted(TrimLine(rest.substr(0, end))) +
                    ": a chain of several steps, not one transformation";
            return std::nullopt;
        }
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return ParseOne(text, source, 1, error, geoidLine);
}

}  // namespace

std::optional<Transformation> ParseParametersFile(std::string_view text, const std::string& source,
                                                 std::string& error) {
    int geoidLine = 0;
    return ParseSingle(text, source, error, geoidLine);
}

namespace {

// The steps of a file's text, with the line of each step's geoid key (0:
// none).
std::optional<std::vector<Transformation>> ParseSteps(std::string_view text, const std::string& source,
                                                      std::string& error, std::vector<int>& geoidLines) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // The lines, to find the step headers.
    std::vector<std::string_view> lines;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    std::vector<std::size_t> headers;  // line indices
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (IsSectionLine(lines[i])) headers.push_back(i);
    }
    if (headers.empty()) {
        int geoidLine = 0;
        std::optional<Transformation> one = ParseOne(text, source, 1, error, geoidLine);
        if (!one) return std::nullopt;
        one->source = source;
        geoidLines.push_back(geoidLine);
        return std::vector<Transformation>{std::move(*one)};
    }
    const auto where = [&](std::size_t i) { return source + ":" + std::to_string(i + 1) + ": "; };
    for (std::size_t i = 0; i < headers.front(); ++i) {
        const std::string_view content = TrimLine(lines[i]);
        if (!content.empty() && content.front() != '#') {
            error = where(i) + "a value before '[step 1]': in a file of several steps every value belongs to a step";
            return std::nullopt;
        }
    }
    std::vector<Transformation> steps;
    for (std::size_t k = 0; k < headers.size(); ++k) {
        const std::size_t at = headers[k];
        const int number = StepHeader(lines[at]);
        if (number != static_cast<int>(k + 1)) {
            error = where(at) + "expected '[step " + std::to_string(k + 1) + "]', found " +
                    Quoted(TrimLine(lines[at]));
            return std::nullopt;
        }
        const std::size_t first = at + 1;
        const std::size_t last = k + 1 < headers.size() ? headers[k + 1] : lines.size();
        const char* begin = first < lines.size() ? lines[first].data() : text.data() + text.size();
        const char* end = last < lines.size() ? lines[last].data() : text.data() + text.size();
        const std::string stepSource = source + " [step " + std::to_string(k + 1) + "]";
        int geoidLine = 0;
        std::optional<Transformation> step =
            ParseOne(std::string_view(begin, static_cast<std::size_t>(end - begin)), source,
                     static_cast<int>(first + 1), error, geoidLine);
        if (!step) return std::nullopt;
        step->source = stepSource;
        geoidLines.push_back(geoidLine);
        steps.push_back(std::move(*step));
    }
    return steps;
}

}  // namespace

std::optional<std::vector<Transformation>> ParseStepsFile(std::string_view text,
                                                          const std::string& source,
                                                          std::string& error) {
    std::vector<int> geoidLines;
    return ParseSteps(text, source, error, geoidLines);
}

namespace {

// Opens the geoid model a transformation read from the file at path names
// (a grid named by a relative path lies beside the parameters file); false
// with the problem, naming the file, the line of the key and the grid's own
// message.
bool OpenGeoid(Transformation& t, const std::filesystem::path& path, const std::string& source, int geoidLine,
               std::string& error) {
    if (!t.geoid) return true;
    const std::string written = t.geoid->name;
    GeoidModel geoid = OpenGeoidModel(written, zelk::platform::PathText(path.parent_path()));
    if (!geoid.IsOpen()) {
        error = source + ":" + std::to_string(geoidLine) + ": geoid = " + Quoted(written) + ": " + geoid.problem;
        return false;
    }
    t.geoid = std::move(geoid);
    return true;
}

// The whole text of a parameters file (at most kMaxFileBytes); false with
// the problem.
bool ReadText(const std::filesystem::path& path, std::string& text, std::string& error) {
    std::optional<std::string> read = ReadSmallFile(path, kMaxFileBytes, "parameters file", error);
    if (!read) return false;
    text = std::move(*read);
    return true;
}

bool AllFinite(const Transformation& t) {
    const auto finite = [](double v) { return v - v == 0.0; };
    bool ok = true;
    switch (t.model) {
        case Transformation::Model::Seven:
            for (const SevenField& field : kSevenFields) ok = ok && finite(t.seven.*field.member);
            break;
        case Transformation::Model::Four:
            for (const FourField& field : kFourFields) ok = ok && finite(t.four.*field.member);
            break;
        case Transformation::Model::Three:
            for (const ThreeField& field : kThreeFields) ok = ok && finite(t.three.*field.member);
            break;
    }
    return ok;
}

bool WriteText(const std::filesystem::path& path, const std::string& text, std::string& error) {
    AtomicOutputFile file;
    if (!file.Open(path)) {
        error = zelk::platform::PathText(path) + ": cannot write the parameters file";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.Stream()) == text.size();
    if (!written || !file.Commit()) {
        file.Abandon();
        error = zelk::platform::PathText(path) + ": cannot write the parameters file";
        if (!file.Problem().empty()) error += " (" + file.Problem() + ")";
        return false;
    }
    return true;
}

}  // namespace

std::optional<Transformation> ReadParametersFile(const std::filesystem::path& path,
                                                std::string& error) {
    std::string text;
    if (!ReadText(path, text, error)) return std::nullopt;
    const std::string source = zelk::platform::PathText(path);
    int geoidLine = 0;
    std::optional<Transformation> read = ParseSingle(text, source, error, geoidLine);
    if (!read) return std::nullopt;
    read->source = source;
    if (!OpenGeoid(*read, path, source, geoidLine, error)) return std::nullopt;
    return read;
}

std::optional<std::vector<Transformation>> ReadStepsFile(const std::filesystem::path& path,
                                                         std::string& error) {
    std::string text;
    if (!ReadText(path, text, error)) return std::nullopt;
    const std::string source = zelk::platform::PathText(path);
    std::vector<int> geoidLines;
    std::optional<std::vector<Transformation>> steps = ParseSteps(text, source, error, geoidLines);
    if (!steps) return std::nullopt;
    for (std::size_t k = 0; k < steps->size(); ++k) {
        if (!OpenGeoid((*steps)[k], path, source, geoidLines[k], error)) return std::nullopt;
    }
    return steps;
}

std::string FormatStepsFile(const std::vector<Transformation>& steps, std::string_view comment) {
    if (steps.size() == 1) return FormatParametersFile(steps.front(), comment);
    std::string out = CommentLines(comment);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        out += "\n[step " + std::to_string(k + 1) + "]\n";
        out += FormatParametersFile(steps[k], steps[k].source.empty() ? "" : "from " + steps[k].source);
    }
    return out;
}

bool SaveParametersFile(const std::filesystem::path& path, const Transformation& calibration,
                        std::string_view comment, std::string& error) {
    if (!AllFinite(calibration)) {
        error = zelk::platform::PathText(path) + ": not written, the estimate is not a finite number";
        return false;
    }
    return WriteText(path, FormatParametersFile(calibration, comment), error);
}

bool SaveStepsFile(const std::filesystem::path& path, const std::vector<Transformation>& steps,
                   std::string_view comment, std::string& error) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
        if (!AllFinite(steps[k])) {
            error = zelk::platform::PathText(path) + ": not written, step " + std::to_string(k + 1) +
                    " holds a value that is not a finite number";
            return false;
        }
    }
    return WriteText(path, FormatStepsFile(steps, comment), error);
}

std::string StepSummary(const Transformation& t) {
    std::string text = t.model == Transformation::Model::Seven   ? "seven parameters"
                       : t.model == Transformation::Model::Three ? "three parameters"
                                                                 : "four parameters";
    if (t.height) {
        text += t.height->model == HeightModel::Fixed   ? " and a fixed height difference"
                : t.height->model == HeightModel::Plane ? " and a plane height fit"
                                                        : " and a quadratic height fit";
    }
    if (t.before && t.after) text += ", " + DescribeSystem(*t.before) + " to " + DescribeSystem(*t.after);
    return text + (t.source.empty() ? " (typed)" : " (" + t.source + ")");
}

std::string ChainComment(const std::vector<Transformation>& steps, const std::string& fileName) {
    std::string comment = "A chain of " + std::to_string(steps.size()) +
                          (steps.size() == 1 ? " step" : " steps") + ", applied in order:";
    for (std::size_t k = 0; k < steps.size(); ++k) {
        comment += "\n  step " + std::to_string(k + 1) + ": " + StepSummary(steps[k]);
    }
    return comment + "\nUse it as: zelk-cli convert --params @" + fileName + " ...";
}

std::string FormatParamsFile(const SevenParams& params, std::string_view comment) {
    Transformation c;
    c.seven = params;
    return FormatParametersFile(c, comment);
}

namespace {
std::optional<SevenParams> SevenOf(std::optional<Transformation> c, const std::string& source,
                                   std::string& error) {
    if (!c) return std::nullopt;
    if (c->model != Transformation::Model::Seven) {
        error = source + ": a four-parameter site calibration, not seven parameters";
        return std::nullopt;
    }
    return ConvertConvention(c->seven, c->convention, RotationConvention::CoordinateFrame);
}
}  // namespace

std::optional<SevenParams> ParseParamsFile(std::string_view text, const std::string& source,
                                           std::string& error) {
    return SevenOf(ParseParametersFile(text, source, error), source, error);
}

std::optional<SevenParams> ReadParamsFile(const std::filesystem::path& path, std::string& error) {
    return SevenOf(ReadParametersFile(path, error), zelk::platform::PathText(path), error);
}

std::string ExportLine(const SevenParams& p) {
    return RoundTripText(p.dX0) + "," + RoundTripText(p.dY0) + "," + RoundTripText(p.dZ0) + "," +
           RoundTripText(p.betaX) + "," + RoundTripText(p.betaY) + "," + RoundTripText(p.betaZ) +
           "," + RoundTripText(p.K);
}

}  // namespace zelk
