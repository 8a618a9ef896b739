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

constexpr const char* kCoefficientNames[6] = {"a0", "a1", "a2", "a3", "a4", "a5"};

const char* HeightModelKey(HeightModel model) {
    switch (model) {
        case HeightModel::Fixed:
            return "fixed";
        case HeightModel::Plane:
            return "plane";
        case HeightModel::Quadratic:
            break;
    }
    return "quadratic";
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
    explicit Entries(const std::string& source) : KeyValueFile(source) {}

    // Every line must have been used (height coefficients beyond the
    // model's, a zone or meridian without its system).
    bool NoneLeft(std::string& error) const {
        const std::string* first = FirstUnused({"model"});
        if (first == nullptr) return true;
        error = Where(Peek(*first)->line) + Quoted(*first) + " does not belong to this file's model";
        return false;
    }
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

std::string FormatParametersFile(const Transformation& c, std::string_view comment) {
    std::string out;
    while (!comment.empty()) {
        const std::size_t end = comment.find('\n');
        out += "# ";
        out += comment.substr(0, end);
        out += '\n';
        if (end == std::string_view::npos) break;
        comment.remove_prefix(end + 1);
    }
    if (c.model == Transformation::Model::Four) out += "model = four\n";
    if (c.model == Transformation::Model::Seven &&
        c.convention != RotationConvention::CoordinateFrame) {
        out += std::string("convention = ") + ConventionName(c.convention) + "\n";
    }
    if (c.before) AppendSystem(out, "before", *c.before);
    if (c.after) AppendSystem(out, "after", *c.after);
    if (c.model == Transformation::Model::Seven) {
        for (const SevenField& field : kSevenFields) AppendValue(out, field.name, c.seven.*field.member);
    } else {
        for (const FourField& field : kFourFields) AppendValue(out, field.name, c.four.*field.member);
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
std::map<std::string, Kind> KnownNames(bool seven) {
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
    if (seven) {
        names["convention"] = Kind::Text;
        for (const SevenField& field : kSevenFields) names[field.name] = Kind::Number;
    } else {
        for (const FourField& field : kFourFields) names[field.name] = Kind::Number;
    }
    return names;
}

}  // namespace

namespace {

// The file's text as a transformation; geoidLine receives the line of the
// geoid key, when there is one.
std::optional<Transformation> Parse(std::string_view text, const std::string& source,
                                    std::string& error, int& geoidLine) {
    Entries entries(source);
    if (!entries.Read(text, error)) return std::nullopt;
    Transformation c;
    if (const Entry* model = entries.Peek("model")) {
        if (model->value == "four") {
            c.model = Transformation::Model::Four;
        } else if (model->value != "seven") {
            error = entries.Where(model->line) + "the model " + Quoted(model->value) +
                    " is not seven or four";
            return std::nullopt;
        }
    }
    const bool seven = c.model == Transformation::Model::Seven;
    // Line by line first: every name known, every number a number.
    const std::string known = seven ? "the names are dX0 dY0 dZ0 K betaX betaY betaZ"
                                    : "the names are dX dY alpha scale";
    if (!entries.CheckLines(KnownNames(seven), known, error)) return std::nullopt;
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
    if (seven) {
        for (const SevenField& field : kSevenFields) {
            if (!entries.Number(field.name, "all seven parameters are needed", c.seven.*field.member,
                                error)) {
                return std::nullopt;
            }
        }
    } else {
        for (const FourField& field : kFourFields) {
            if (!entries.Number(field.name, "dX, dY, alpha and scale are needed",
                                c.four.*field.member, error)) {
                return std::nullopt;
            }
        }
    }
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

}  // namespace

std::optional<Transformation> ParseParametersFile(std::string_view text, const std::string& source,
                                                 std::string& error) {
    int geoidLine = 0;
    return Parse(text, source, error, geoidLine);
}

std::optional<Transformation> ReadParametersFile(const std::filesystem::path& path,
                                                std::string& error) {
    const std::string source = zelk::platform::PathText(path);
    const std::optional<std::string> text = ReadSmallFile(path, kMaxFileBytes, "parameters file", error);
    if (!text) return std::nullopt;
    int geoidLine = 0;
    std::optional<Transformation> read = Parse(*text, source, error, geoidLine);
    if (!read) return std::nullopt;
    read->source = source;
    if (read->geoid) {
        // A grid file named by a relative path lies beside the parameters file.
        const std::string written = read->geoid->name;
        GeoidModel geoid = OpenGeoidModel(written, zelk::platform::PathText(path.parent_path()));
        if (!geoid.IsOpen()) {
            error = source + ":" + std::to_string(geoidLine) + ": geoid = " + Quoted(written) + ": " +
                    geoid.problem;
            return std::nullopt;
        }
        read->geoid = std::move(geoid);
    }
    return read;
}

bool SaveParametersFile(const std::filesystem::path& path, const Transformation& calibration,
                        std::string_view comment, std::string& error) {
    const auto finite = [](double v) { return v - v == 0.0; };
    bool ok = true;
    if (calibration.model == Transformation::Model::Seven) {
        for (const SevenField& field : kSevenFields) ok = ok && finite(calibration.seven.*field.member);
    } else {
        for (const FourField& field : kFourFields) ok = ok && finite(calibration.four.*field.member);
    }
    if (!ok) {
        error = zelk::platform::PathText(path) + ": not written, the estimate is not a finite number";
        return false;
    }
    const std::string text = FormatParametersFile(calibration, comment);
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
