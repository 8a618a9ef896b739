// A whole transformation as a small text file that people can read and edit:
// written by `zelk-cli estimate --save` and the desktop program's dialogs,
// read by `--params @FILE` and the same dialogs.
//
//   # comment lines start with '#'; blank lines are ignored
//   model = seven                  seven (the default), three or four
//   convention = coordinate-frame  seven: coordinate-frame (the default) or
//                                  position-vector
//   before = beijing54-gauss       the systems it was made for (both or
//   before-meridian = 117          neither); a projected system's meridian
//   after = wgs84-geodetic         or zones (before-zone = 3); a plane a fit
//                                  was made in, in zones, also its zone
//                                  (before-zone-number = 39); a code
//                                  (before = EPSG:4547); or a system of
//                                  the user's own, in whole: the keys of a
//                                  system file behind before- or after-
//                                  (before-name, before-datum or before-a
//                                  and before-rf, before-form,
//                                  before-meridian, before-k0, ...; see
//                                  workflow/system_file.h)
//   dX0 = -15.415                  seven: dX0 dY0 dZ0 (m), K (ppm),
//   ...                            betaX betaY betaZ (arc-seconds);
//                                  three: dX0 dY0 dZ0 (m)
//   dX = 12.5                      four: dX dY (m), alpha (radians),
//   ...                            scale (the factor K, about 1)
//   height = plane                 none (the default), fixed, plane or
//   height-x0 = 4400123.5          quadratic: the fit's centroid (m) and its
//   height-y0 = 440456.25          coefficients a0 .. a5 (metres per
//   a0 = 0.05                      kilometre to the power of the term)
//   ...
//   geoid = egm96                  the geoid model the height fit sits on
//                                  (a model's name, or a grid file's path;
//                                  written whole, read relative to the
//                                  file's folder); only with a height fit
//
// One "name = value" line for each value, in any order, each once; every
// value the model needs must be there and no other. A file is judged by the
// rules an estimation follows: systems that no estimation of its model
// could join (ModelProblemText), one system named without the other, a
// meridian and zones for one side, or a fitted plane in zones without its
// zone are refused, naming the key at fault. Values are written with
// the fewest digits that read back to the very same double. Blanks and tabs
// around names, '=' and values are allowed; CR LF line ends and a UTF-8
// byte-order mark are accepted. A file of the seven parameters alone (as
// earlier versions wrote) is a coordinate-frame seven-parameter file for
// any systems.
//
// A chain of several steps is one file of sections, each a whole
// transformation as above, applied in order:
//
//   # comment lines before the first section
//   [step 1]
//   before = wgs84-xyz
//   ...
//   [step 2]
//   model = four
//   ...
//
// The sections are numbered from 1 in order. A file without sections is a
// chain of one step, so every parameters file is also a chain file; a chain
// of one step is written without a section, as earlier versions read it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bursa/seven_params.h"
#include "workflow/transformation.h"

namespace zelk {

// The shortest decimal text that reads back to exactly value.
std::string RoundTripText(double value);

// The whole file: the comment lines (each prefixed with "# "; may be empty)
// followed by the value lines.
std::string FormatParametersFile(const Transformation& transformation, std::string_view comment);

// Parses a file's text. On failure returns nothing and sets error to a
// message that starts with "<source>:<line>: " (or "<source>: " for a
// missing value). Quoted text is cut short, control bytes escaped.
std::optional<Transformation> ParseParametersFile(std::string_view text, const std::string& source,
                                                 std::string& error);

// Reads and parses the file at path (at most 64 KiB), and opens the geoid
// model it names: one that does not open is refused with the file, the
// line of the key and the grid's own message. ParseParametersFile leaves
// the model unopened (its grid null), which a chain refuses. A file of
// several steps is refused here (its first section header is not a value
// line).
std::optional<Transformation> ReadParametersFile(const std::filesystem::path& path,
                                                std::string& error);

// The steps of a file with or without sections; each step's source is the
// source, followed by " [step N]" in a file of sections. ReadStepsFile
// opens each step's geoid model as ReadParametersFile does.
std::optional<std::vector<Transformation>> ParseStepsFile(std::string_view text,
                                                          const std::string& source,
                                                          std::string& error);
std::optional<std::vector<Transformation>> ReadStepsFile(const std::filesystem::path& path,
                                                         std::string& error);

// A chain as one file: the comment, then a section a step (each step's
// source, when it has one, as the section's comment); one step alone is
// written as FormatParametersFile writes it.
std::string FormatStepsFile(const std::vector<Transformation>& steps, std::string_view comment);
bool SaveStepsFile(const std::filesystem::path& path, const std::vector<Transformation>& steps,
                   std::string_view comment, std::string& error);

// Writes the file in place of path, the old one kept until the new one is
// whole. False (and error set) when it cannot be written.
bool SaveParametersFile(const std::filesystem::path& path, const Transformation& transformation,
                        std::string_view comment, std::string& error);

// A step in words, for comments: "seven parameters and a plane height fit,
// wgs84-geodetic to beijing54-gauss, central meridian 117 (stage1.params)",
// "(typed)" for a step without a source.
std::string StepSummary(const Transformation& step);
// The comment of a saved chain: a line a step and how zelk-cli uses the
// file.
std::string ChainComment(const std::vector<Transformation>& steps, const std::string& fileName);

// The seven-parameter files of earlier versions: the seven values, in the
// coordinate frame. A four-parameter file is refused.
std::string FormatParamsFile(const SevenParams& params, std::string_view comment);
std::optional<SevenParams> ParseParamsFile(std::string_view text, const std::string& source,
                                           std::string& error);
std::optional<SevenParams> ReadParamsFile(const std::filesystem::path& path, std::string& error);

// The seven parameters as one comma-separated line, in the order of the
// land-use exchange files: X shift, Y shift, Z shift (m), X rotation,
// Y rotation, Z rotation (arc-seconds), scale (ppm); every digit kept.
std::string ExportLine(const SevenParams& params);

}  // namespace zelk
