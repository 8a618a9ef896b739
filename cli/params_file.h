// The parameters file: the seven parameters as a small text file that people
// can read and edit, written by `zelk-cli estimate --save FILE` and read by
// `--params @FILE`.
//
//   # comment lines start with '#'; blank lines are ignored
//   dX0 = -15.415
//   dY0 = 149.4718
//   ...
//
// Exactly seven "name = value" lines, one for each of dX0 dY0 dZ0 (metres),
// K (ppm), betaX betaY betaZ (arc-seconds), in any order, each once. Values
// are decimal numbers written with the fewest digits that read back to the
// very same double. Blanks and tabs around names, '=' and values are
// allowed; CR LF line ends and a UTF-8 byte-order mark are accepted.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "bursa/seven_params.h"

// The shortest decimal text that reads back to exactly value.
std::string RoundTripText(double value);

// The whole file: the comment lines (each prefixed with "# "; may be empty)
// followed by the seven value lines.
std::string FormatParamsFile(const SevenParams& params, std::string_view comment);

// Parses a file's text. On failure returns nothing and sets error to a
// message that starts with "<source>:<line>: " (or "<source>: " for a
// missing parameter).
std::optional<SevenParams> ParseParamsFile(std::string_view text, const std::string& source,
                                           std::string& error);

// Reads and parses the file at path (at most 64 KiB).
std::optional<SevenParams> ReadParamsFile(const std::filesystem::path& path, std::string& error);
