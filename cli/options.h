// What the commands of zelk-cli share: the failure that the data is to
// blame for, standard output, and the options several commands take.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bursa/convention.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "workflow/angle_text.h"
#include "workflow/geoid_model.h"
#include "workflow/point_formats.h"
#include "workflow/point_stream.h"
#include "workflow/transformation.h"

// A failure that the data or a file is to blame for: exit status 1.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One command: its name, texts and options, and what runs it.
struct Command {
    const char* name;
    const char* usage;
    const char* help;
    std::span<const OptionSpec> options;
    bool takesParams;  // the P and SYS explanations belong to its help
    int (*run)(const ParsedArguments& parsed, ConsoleMessages& messages);
};

const Command& SystemsCommand();
const Command& PointCommand();
const Command& ConvertCommand();
const Command& EstimateCommand();

void WriteOut(std::string_view text);

// Columns a text takes on a terminal: in UTF-8 a character of three or
// four bytes (Chinese) takes two and any other one; bytes that are not
// UTF-8 (GBK, whose characters are two bytes and two columns wide) one each.
std::size_t TerminalWidth(std::string_view text);

// --jobs N or ZELK_THREADS: 0 to 1024 worker threads (0: all cores).
int ThreadCount(const std::string& text, const std::string& what);
int ThreadsFromEnvironment();

// --convention: coordinate-frame (the default) or position-vector.
zelk::RotationConvention ConventionOption(const ParsedArguments& parsed);
// --from-angles / --to-angles: packed (the default), degrees or dms.
zelk::AngleFormat AnglesOption(const ParsedArguments& parsed, const std::string& name);
// --from-format, --to-format, --format: plain (the default), dat, csv, and
// kml for an output; with external, also dxf, shp, gpkg, geojson and xlsx,
// which a build without GDAL refuses, saying so.
zelk::pointformat::FileFormat FormatOption(const ParsedArguments& parsed, const std::string& name,
                                           bool output, bool external = false);
// The GIS, CAD and spreadsheet formats of this build (gis/), or nullptr
// when it was built without GDAL.
const zelk::ExternalFormats* ProgramFormats();
// The steps --params (and --convention) give, in order: each --params is
// typed seven or three parameters, or a parameters file with its steps (a
// chain file brings several). Without --params, seven parameters all zero.
// --convention applies to the typed seven parameters.
std::vector<zelk::Transformation> StepsOption(const ParsedArguments& parsed);

// With --inverse, the steps reversed whole (last step first, each applied
// backwards); else the steps as given.
std::vector<zelk::Transformation> InverseOption(const ParsedArguments& parsed,
                                                const std::vector<zelk::Transformation>& steps);

// --save-chain FILE: its path, checked (empty without the option).
std::string SaveChainPath(const ParsedArguments& parsed);
// Writes the steps as one chain file when --save-chain is given; DataError
// when it cannot be written.
void SaveChainOption(const ParsedArguments& parsed, const std::vector<zelk::Transformation>& steps);
// --from-geoid, --to-geoid, --geoid: a geoid model (egm96, or the path of a
// grid file), opened; nothing when the option is absent. With side, the
// system of that side, which must be able to have such heights (not
// geocentric, not the local grid).
std::optional<zelk::GeoidModel> GeoidOption(const ParsedArguments& parsed, const std::string& name,
                                            const zelk::Crs* side = nullptr);

void RequirePositionals(const ParsedArguments& parsed, std::size_t count, const char* names);
// Names of open descriptors (/dev/stdout and the like) do not exist on every
// system (not on Windows): refused there, pointing to '-'.
void RefuseDescriptorName(const std::string& text, const std::string& what);
std::string PathArgument(const std::string& text, const char* what);
