#include "cli/options.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/files.h"
#include "platform/number_text.h"
#include "platform/standard_streams.h"
#include "workflow/chain.h"
#include "workflow/parameter_file.h"
#if ZELK_HAVE_GIS
#include "gis/point_files.h"
#endif

using namespace zelk;

void WriteOut(std::string_view text) { platform::WriteText(stdout, text); }

std::size_t TerminalWidth(std::string_view name) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char lead = static_cast<unsigned char>(name[i]);
        std::size_t length = 0;  // of the UTF-8 character; 0: not a lead byte
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
        }
        bool whole = length > 0 && i + length <= name.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
        }
        if (!whole) return name.size();
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return width;
}

int ThreadCount(const std::string& text, const std::string& what) {
    const auto value = ParseInt(text);
    if (!value || *value < 0 || *value > 1024) {
        throw UsageError(what + ": '" + text +
                         "' is not a number of threads (0 to 1024, 0 = all cores)");
    }
    return *value;
}

int ThreadsFromEnvironment() {
    const char* text = std::getenv("ZELK_THREADS");
    if (text == nullptr || *text == '\0') return 0;
    return ThreadCount(text, "environment variable ZELK_THREADS");
}

RotationConvention ConventionOption(const ParsedArguments& parsed) {
    const std::string* value = parsed.Value("--convention");
    if (value == nullptr) return RotationConvention::CoordinateFrame;
    const auto convention = ConventionFromName(*value);
    if (!convention) {
        throw UsageError("option --convention: '" + *value +
                         "' is not a convention (coordinate-frame, position-vector)");
    }
    return *convention;
}

AngleFormat AnglesOption(const ParsedArguments& parsed, const std::string& name) {
    const std::string* value = parsed.Value(name);
    if (value == nullptr) return AngleFormat::Packed;
    const auto format = AngleFormatFromName(*value);
    if (!format) {
        throw UsageError("option " + name + ": '" + *value +
                         "' is not an angle format (packed, degrees or dms)");
    }
    return *format;
}

const zelk::ExternalFormats* ProgramFormats() {
#if ZELK_HAVE_GIS
    return &gis::Formats();
#else
    return nullptr;
#endif
}

pointformat::FileFormat FormatOption(const ParsedArguments& parsed, const std::string& name,
                                     bool output, bool external) {
    const std::string* value = parsed.Value(name);
    if (value == nullptr) return pointformat::FileFormat::Plain;
    const auto format = pointformat::FileFormatFromName(*value);
    if (!format || (*format == pointformat::FileFormat::Kml && !output) ||
        (pointformat::IsExternalFormat(*format) && !external)) {
        throw UsageError("option " + name + ": '" + *value + "' is not a file format (plain, dat, csv" +
                         (output ? ", kml" : "") +
                         (external ? ", dxf, shp, gpkg, geojson, xlsx)" : ")"));
    }
    if (pointformat::IsExternalFormat(*format)) {
        const zelk::ExternalFormats* formats = ProgramFormats();
        if (!formats || !formats->Has(*format)) {
            throw UsageError("option " + name + ": this zelk-cli was built without GDAL and cannot " +
                             (output ? "write " : "read ") + *value +
                             " files; it converts plain, dat and csv files" +
                             (output ? " and writes kml" : ""));
        }
    }
    return *format;
}

std::vector<Transformation> StepsOption(const ParsedArguments& parsed) {
    const std::vector<std::string> values = parsed.Values("--params");
    const RotationConvention convention = ConventionOption(parsed);
    if (values.empty()) return {Transformation::Seven(SevenParams{}, convention)};
    // Files are read only once every typed value has been found sound: a
    // mistake on the command line is reported as one.
    std::vector<Transformation> typed(values.size());
    bool typedSeven = false;
    const bool several = values.size() > 1;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::string& value = values[k];
        const std::string what = several ? "option --params (step " + std::to_string(k + 1) + ")"
                                         : std::string("option --params");
        if (!value.empty() && value.front() == '@') {
            if (value.size() == 1) throw UsageError(what + ": a file name is needed after @");
            continue;
        }
        typed[k] = ParseTypedStep(value, what, convention);
        typedSeven = typedSeven || typed[k].model == Transformation::Model::Seven;
    }
    if (parsed.Has("--convention") && !typedSeven) {
        throw UsageError(values.size() == 1 && values.front().front() == '@'
                             ? "option --convention: a parameters file says its own convention"
                             : "option --convention: it applies to typed seven parameters, and "
                               "--params gives none");
    }
    std::vector<Transformation> steps;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::string& value = values[k];
        if (value.empty() || value.front() != '@') {
            steps.push_back(std::move(typed[k]));
            continue;
        }
        std::string error;
        std::optional<std::vector<Transformation>> read =
            ReadStepsFile(platform::PathFromUtf8(value.substr(1)), error);
        if (!read) throw DataError(error);
        for (Transformation& step : *read) steps.push_back(std::move(step));
    }
    return steps;
}

std::vector<Transformation> InverseOption(const ParsedArguments& parsed,
                                          const std::vector<Transformation>& steps) {
    return parsed.Has("--inverse") ? ReversedChain(steps) : steps;
}

void SaveChainOption(const ParsedArguments& parsed, const std::vector<Transformation>& steps) {
    const std::string path = SaveChainPath(parsed);
    if (path.empty()) return;
    std::string error;
    if (!SaveStepsFile(platform::PathFromUtf8(path), steps, ChainComment(steps, path), error)) {
        throw DataError(error);
    }
}

std::string SaveChainPath(const ParsedArguments& parsed) {
    const std::string* path = parsed.Value("--save-chain");
    if (path == nullptr) return {};
    if (path->empty() || *path == "-") throw UsageError("option --save-chain: a file name is needed");
    return *path;
}

std::optional<GeoidModel> GeoidOption(const ParsedArguments& parsed, const std::string& name,
                                      const Crs* side) {
    const std::string* value = parsed.Value(name);
    if (value == nullptr) return std::nullopt;
    if (value->empty()) {
        throw UsageError("option " + name + ": a geoid model is needed (egm96, or a grid file)");
    }
    if (side != nullptr) {
        const std::string problem = GeoidSideProblemText(*side, name == "--from-geoid" ? "转换前" : "转换后");
        if (!problem.empty()) throw UsageError("option " + name + ": " + problem);
    }
    // Opened here; a model that does not open is refused by the request's
    // check, with its name, before anything is converted.
    return OpenGeoidModel(*value);
}

void RequirePositionals(const ParsedArguments& parsed, std::size_t count, const char* names) {
    if (parsed.positionals.size() != count) {
        throw UsageError(std::string(parsed.positionals.size() < count ? "missing" : "too many") +
                         " arguments: " + names + " expected");
    }
}

void RefuseDescriptorName(const std::string& text, const std::string& what) {
    if (!platform::HasDescriptorNames() && platform::IsDescriptorName(text)) {
        throw UsageError(what + ": there is no '" + text +
                         "' on this system; use '-' for standard input or output");
    }
}

std::string PathArgument(const std::string& text, const char* what) {
    if (text.empty()) throw UsageError(std::string(what) + " is an empty file name");
    RefuseDescriptorName(text, what);
    return text;
}
