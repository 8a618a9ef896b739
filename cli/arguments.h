// Command-line parsing for zelk-cli: options of the form --name VALUE or
// --name=VALUE, flags, and positional arguments.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bursa/seven_params.h"
#include "bursa/convention.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

// A mistake on the command line: reported with the command's usage line and
// exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    const char* name;  // with the leading dashes, e.g. "--from"
    bool takesValue;
    bool repeatable = false;  // may be given several times (--params)
};

struct ParsedArguments {
    std::map<std::string, std::string> options;  // name -> value ("" for a flag); the first
    std::map<std::string, std::vector<std::string>> repeated;  // every value of a repeatable option, in order
    std::vector<std::string> positionals;
    bool help = false;  // --help or -h was given

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    const std::string* Value(const std::string& name) const;
    // Every value of an option, in the order given (one at most unless it
    // is repeatable).
    std::vector<std::string> Values(const std::string& name) const;
};

// Parses the arguments after the command name. A "--" ends the options. An
// argument that starts with '-' but reads as a number (a negative
// coordinate) or is "-" alone (standard input or output) is positional.
// With --help or -h anywhere before "--", only help is set. Otherwise throws
// UsageError for an unknown option, a missing value, a value given
// to a flag or an option that is not repeatable given twice.
ParsedArguments ParseArguments(std::span<const std::string> args,
                               std::span<const OptionSpec> specs);

// Typed option values; each throws UsageError naming the option when the
// value is not acceptable. Absent options give the fallback.
// A coordinate system from --NAME SYS with --NAME-meridian DMS or
// --NAME-zone 3|6 (name is "from", "to", "before" or "after"). SYS may be
// any system of the catalogue; a meridian is ignored by a system that is
// not projected, a zone is refused there, and so are zones for UTM and a
// meridian beyond ±180 degrees. SYS may also be EPSG:NNNN (a code of the
// table, workflow/epsg.h) or @FILE (a system file, workflow/system_file.h),
// which say their own meridian: --NAME-meridian and --NAME-zone are refused
// with them. A system file that cannot be read, or whose definition is bad,
// throws DataError (exit status 1) with the file's message.
zelk::Crs RequiredCrs(const ParsedArguments& parsed, const std::string& name);
double OptionalNumber(const ParsedArguments& parsed, const std::string& name, double fallback);
// Strict locale-independent decimal number; `what` names the argument in the
// error ("option --to-meridian", "coordinate B").
double NumberArgument(const std::string& text, const std::string& what);

// --params P: seven comma-separated numbers in SevenParams order. The
// "@FILE" form is handled by the caller (it is a file, not a usage matter).
zelk::SevenParams ParseParamsList(const std::string& text, const std::string& what);
// --params P as typed: seven numbers (seven parameters) or three (dX0,dY0,
// dZ0: three parameters), for any systems.
zelk::Transformation ParseTypedStep(const std::string& text, const std::string& what,
                                    zelk::RotationConvention convention);
