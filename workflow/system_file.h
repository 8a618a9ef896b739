// System files: a coordinate system of the user's own (an independent or
// city system, 独立坐标系 / 城市坐标系) as a small UTF-8 text file, read by
// `--from @FILE` (and --to, --before, --after) and the desktop program's
// 自定义坐标系… dialog, which also writes them.
//
//   # comment lines start with '#'; a '#' after a blank starts a comment too
//   name = 某市2000独立坐标系   the system's name (default: the file's name)
//   datum = cgcs2000            a datum of the table (cgcs2000, xian80,
//                               beijing54, wgs84), or instead
//   a = 6378137                 a custom ellipsoid: semi-major axis (m)
//   rf = 298.257222101          and inverse flattening, a datum of its own
//   form = gauss                gauss (x y H), geodetic (B L H) or xyz
//   meridian = 114.20           central meridian, packed D.MMSS (gauss)
//   k0 = 1                      scale on the central meridian (default 1)
//   false-easting = 500000      (m, default 500000)
//   false-northing = 0          (m, default 0)
//   plane-height = 350          projection plane height H0 (m, default 0)
//   plane-latitude = 30.30      packed; where the plane's radius is taken
//                               (needed with a plane height)
//   plane-origin = 3380000,500000   grid x,y the plane scales about
//                               (default 0,false-easting)
//
// The projection plane and what it means: workflow/coordinate_system.h.
// Every bad definition is refused with a message naming the file, the line
// and the key: an unknown key, a key given twice, a value that is not a
// number, no form, no datum (or a without rf), a gauss system without its
// meridian, k0 ≤ 0, rf ≤ 1, an ellipsoid not the size of the earth, H0
// beyond ±10 km, a latitude beyond ±90°, a meridian beyond ±180°, grid keys
// on a geodetic or xyz system, a plane height without its latitude. No
// value is guessed.
//
// The same keys, each behind "before-" or "after-", carry a system of the
// user's own inside a parameters file (workflow/parameter_file.h), so the
// file reads wherever the system file has gone.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "workflow/coordinate_system.h"
#include "workflow/key_value_file.h"

namespace zelk {

// The keys of a definition, as a system file spells them, and which of
// them are numbers.
struct DefinitionKey {
    const char* name;
    KeyValueFile::Kind kind;
};
std::span<const DefinitionKey> SystemDefinitionKeys();

// Whether a file holds any definition key behind prefix.
bool HasSystemDefinition(const KeyValueFile& file, const std::string& prefix);

// The system the keys behind prefix define ("" in a system file); nothing,
// with the error, when the definition is bad. The keys read are marked
// used. The name is left empty when the file gives none.
std::optional<Crs> ReadSystemDefinition(KeyValueFile& file, const std::string& prefix,
                                        std::string& error);

// The "key = value" lines of a system's definition behind prefix, every
// key written (numbers the shortest text that reads back to the same
// double); the name only when it has one.
std::string SystemDefinitionLines(const Crs& crs, const std::string& prefix);

// A system file's text: a comment, then the definition with a note on each
// key.
std::string FormatSystemFile(const Crs& crs);

// Parses a system file's text. On failure nothing, and error starts with
// "<source>:<line>: " (or "<source>: " for something missing). A file that
// names no system gets the name `fallbackName`.
std::optional<Crs> ParseSystemFile(std::string_view text, const std::string& source,
                                   const std::string& fallbackName, std::string& error);

// Reads the file at path (at most 64 KiB); a file without a name gets its
// file name without the extension.
std::optional<Crs> ReadSystemFile(const std::filesystem::path& path, std::string& error);

// Writes the system file in place of path, the old one kept until the new
// one is whole. False (and error set) when it cannot be written or the
// system is not one a file can define (a local grid, zones).
bool SaveSystemFile(const std::filesystem::path& path, const Crs& crs, std::string& error);

}  // namespace zelk
