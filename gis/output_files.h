// The files of one output, which replace their targets only when all of
// them are complete.
//
// GDAL writes a format's files under temporary names beside the target:
// hidden, ".<stem>.<pid>-<n>.tmp" followed by each member's extension
// (".shp", ".shx", ".dbf", ".prj", ".cpg" for a Shapefile; the target's own
// extension for the one-file formats), and Commit renames each into place.
// Until then an existing target (every member of it) stays as it was; a
// failed or abandoned output leaves nothing behind: its temporary files,
// and those GDAL makes beside them (a DXF's "<temp>.tmp", a GeoPackage's
// "<temp>-journal" and "-wal"), are removed, also when the program is
// stopped by SIGINT, SIGTERM or SIGHUP (platform/interrupt_cleanup.h).
//
// At Commit, members of an existing target that the new output does not
// have are removed with it, so that none describes the new data: a .prj
// when no spatial reference was written, and a Shapefile's spatial indexes
// (.qix, .sbn, .sbx). The renames of a Shapefile's members follow one
// another; the .shp comes last.
//
// The target is a regular file named by its path. A symbolic link is
// followed to the file it names; the new file takes that file's place, with
// its permissions. A file with several names (hard links) gets a new file
// under the name given; its other names keep the old one. Anything else (a
// folder, a device, a pipe, standard output) is refused: these formats are
// files that GDAL writes by name, seeks in and reads back.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::gis {

class OutputFiles {
public:
    OutputFiles() = default;
    ~OutputFiles();  // abandons what is not committed
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Prepares temporary names for target and its members, the extensions
    // besides target's own (".shx"...; written in the case of target's
    // extension); optional members need not be written. sideFiles: suffixes
    // GDAL may append to the temporary main file for files of its own
    // ("-journal"). False, with Message(), when the target cannot be
    // replaced.
    bool Open(const std::filesystem::path& target, const std::vector<std::string>& members,
              const std::vector<std::string>& optionalMembers = {},
              const std::vector<std::string>& staleMembers = {},
              const std::vector<std::string>& sideFiles = {});
    // Where GDAL writes the main file.
    const std::filesystem::path& Temporary() const { return m_temporary; }
    // The target after following symbolic links.
    const std::filesystem::path& Target() const { return m_target; }
    // Puts every member in place. False, with Message(), when one could not
    // be (the temporary files are then removed; a Shapefile whose renames
    // stopped part way says so).
    bool Commit();
    // Removes the temporary files; the target is unchanged.
    void Abandon();
    const std::string& Message() const { return m_message; }

private:
    struct Member {
        std::filesystem::path temporary;
        std::filesystem::path target;
        bool optional = false;
        int slot = -1;  // interrupt clean-up
    };
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::vector<Member> m_members;  // the main file last
    std::vector<Member> m_side;     // GDAL's own temporary files
    std::vector<std::filesystem::path> m_stale;
    bool m_keepMode = false;
    unsigned m_mode = 0;
    std::string m_message;
};

// The file's name as messages quote it: “name”.
std::string QuotedPath(const std::filesystem::path& path);

}  // namespace zelk::gis
