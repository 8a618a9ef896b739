#include "cli/arguments.h"

#include <charconv>

#include "cli/options.h"
#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/epsg.h"
#include "workflow/system_file.h"

using namespace zelk;

namespace {
const OptionSpec* FindSpec(std::span<const OptionSpec> specs, const std::string& name) {
    for (const OptionSpec& spec : specs) {
        if (name == spec.name) return &spec;
    }
    return nullptr;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string CountText(std::size_t count) {
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, count).ptr);
}
}  // namespace

const std::string* ParsedArguments::Value(const std::string& name) const {
    const auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
}

std::vector<std::string> ParsedArguments::Values(const std::string& name) const {
    if (const auto it = repeated.find(name); it != repeated.end()) return it->second;
    if (const std::string* value = Value(name)) return {*value};
    return {};
}

ParsedArguments ParseArguments(std::span<const std::string> args,
                               std::span<const OptionSpec> specs) {
    ParsedArguments parsed;
    // Help wins over everything else on the line, mistakes included.
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return parsed;
        }
    }
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || ParseDecimal(arg)) {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = FindSpec(specs, name);
        if (spec == nullptr) throw UsageError("unknown option " + Quoted(name));
        if (parsed.Has(name) && !spec->repeatable) {
            throw UsageError("option " + name + " is given more than once");
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!spec->takesValue) throw UsageError("option " + name + " takes no value");
            value = arg.substr(equals + 1);
        } else if (spec->takesValue) {
            if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
            value = args[++i];
        }
        if (spec->repeatable) parsed.repeated[name].push_back(value);
        parsed.options.emplace(name, std::move(value));
    }
    return parsed;
}

zelk::Crs RequiredCrs(const ParsedArguments& parsed, const std::string& name) {
    const std::string option = "--" + name;
    const std::string* value = parsed.Value(option);
    if (value == nullptr) throw UsageError("option " + option + " is required");
    const std::string side = name == "from" || name == "before" ? "转换前" : "转换后";
    const bool file = !value->empty() && value->front() == '@';
    if (file || zelk::IsEpsgName(*value)) {
        // A system file or a code says its own meridian.
        for (const char* setting : {"-meridian", "-zone", "-utm-zone"}) {
            if (parsed.Has(option + setting)) {
                throw UsageError("option " + option + setting + ": " + *value +
                                 (file ? " (a system file)" : "") + " has its own meridian or zone");
            }
        }
        std::string problem;
        std::optional<zelk::Crs> crs;
        if (file) {
            const std::string path = value->substr(1);
            if (path.empty()) throw UsageError("option " + option + ": a file name is needed after @");
            crs = zelk::ReadSystemFile(zelk::platform::PathFromUtf8(path), problem);
            if (!crs) throw DataError(problem);
        } else {
            crs = zelk::EpsgCrs(*value, problem);
            if (!crs) throw UsageError("option " + option + ": " + problem);
        }
        if (const std::string settings = zelk::CrsProblemText(*crs, side); !settings.empty()) {
            throw DataError(settings);
        }
        return *crs;
    }
    const zelk::SystemEntry* entry = zelk::FindSystem(*value);
    if (entry == nullptr) {
        throw UsageError("option " + option + ": unknown coordinate system " + Quoted(*value) +
                         " (zelk-cli systems lists them)");
    }
    const std::string meridianOption = option + "-meridian";
    const std::string zoneOption = option + "-zone";
    const double meridian = OptionalNumber(parsed, meridianOption, 0.0);
    zelk::Zoning zoning = zelk::Zoning::Meridian;
    if (const std::string* zone = parsed.Value(zoneOption)) {
        if (*zone == "3") {
            zoning = zelk::Zoning::Zone3;
        } else if (*zone == "6") {
            zoning = zelk::Zoning::Zone6;
        } else {
            throw UsageError("option " + zoneOption + ": " + Quoted(*zone) +
                             " is not a zone width (3 or 6)");
        }
        if (parsed.Has(meridianOption)) {
            throw UsageError("options " + meridianOption + " and " + zoneOption +
                             " exclude each other");
        }
        if (entry->form != zelk::Form::Projected) {
            throw UsageError("option " + zoneOption + ": " + *value + " is not projected");
        }
    }
    zelk::Crs crs = zelk::MakeCrs(*entry, zoning, meridian);
    const std::string utmOption = option + "-utm-zone";
    if (const std::string* text = parsed.Value(utmOption)) {
        for (const std::string& other : {meridianOption, zoneOption}) {
            if (parsed.Has(other)) {
                throw UsageError("options " + other + " and " + utmOption + " exclude each other");
            }
        }
        if (!crs.IsUtm()) throw UsageError("option " + utmOption + ": " + *value + " is not UTM");
        const std::optional<zelk::UtmZone> zone = zelk::ParseUtmZone(*text);
        if (!zone) {
            throw UsageError("option " + utmOption + ": " + Quoted(*text) +
                             " is not a UTM zone (1 to 60 and N or S, as 50S)");
        }
        crs = zelk::InUtmZone(crs, *zone);
    }
    // Whether the settings can be used is decided where the dialogs decide it.
    const std::string problem = zelk::CrsProblemText(crs, side);
    if (!problem.empty()) throw UsageError(problem);
    return crs;
}

double NumberArgument(const std::string& text, const std::string& what) {
    if (text.empty()) throw UsageError(what + ": empty value, a number is needed");
    const auto value = ParseDecimal(text);
    if (!value) throw UsageError(what + ": " + Quoted(text) + " is not a number");
    return *value;
}

double OptionalNumber(const ParsedArguments& parsed, const std::string& name, double fallback) {
    const std::string* value = parsed.Value(name);
    return value == nullptr ? fallback : NumberArgument(*value, "option " + name);
}

namespace {
// The comma-separated numbers of a --params value: seven, or three when
// three may do; values receives them.
std::size_t ParamsNumbers(const std::string& text, const std::string& what, bool threeToo,
                          double (&values)[7]) {
    static constexpr const char* kNames[7] = {"dX0", "dY0", "dZ0", "K", "betaX", "betaY", "betaZ"};
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string field =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (count < 7) values[count] = NumberArgument(field, what + " (" + kNames[count] + ")");
        ++count;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (count != 7 && !(threeToo && count == 3)) {
        throw UsageError(what + (threeToo ? ": seven comma-separated numbers (dX0,dY0,dZ0,K,betaX,"
                                            "betaY,betaZ) or three (dX0,dY0,dZ0) are needed, not "
                                          : ": seven comma-separated numbers are needed "
                                            "(dX0,dY0,dZ0,K,betaX,betaY,betaZ), not ") +
                         CountText(count));
    }
    return count;
}
}  // namespace

SevenParams ParseParamsList(const std::string& text, const std::string& what) {
    double values[7] = {};
    ParamsNumbers(text, what, false, values);
    return SevenParams{values[0], values[1], values[2], values[3],
                       values[4], values[5], values[6]};
}

Transformation ParseTypedStep(const std::string& text, const std::string& what,
                              RotationConvention convention) {
    double values[7] = {};
    if (ParamsNumbers(text, what, true, values) == 7) {
        return Transformation::Seven(SevenParams{values[0], values[1], values[2], values[3], values[4],
                                                 values[5], values[6]},
                                     convention);
    }
    Transformation step;
    step.model = Transformation::Model::Three;
    step.three = ThreeParams{values[0], values[1], values[2]};
    return step;
}
