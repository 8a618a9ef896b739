#include "workflow/system_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "engine/angle.h"
#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/file_conversion.h"

namespace zelk {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

using Kind = KeyValueFile::Kind;

constexpr DefinitionKey kKeys[] = {
    {"name", Kind::Text},           {"datum", Kind::Text},
    {"a", Kind::Number},            {"rf", Kind::Number},
    {"form", Kind::Text},           {"meridian", Kind::Number},
    {"k0", Kind::Number},           {"false-easting", Kind::Number},
    {"false-northing", Kind::Number}, {"plane-height", Kind::Number},
    {"plane-latitude", Kind::Number}, {"plane-origin", Kind::Text},
};

// The keys that only a gauss system has.
constexpr const char* kGridKeys[] = {"meridian",       "k0",           "false-easting",
                                     "false-northing", "plane-height", "plane-latitude",
                                     "plane-origin"};

// The shortest plain decimal that reads back to the same double (never an
// exponent: -3000000, not -3e+06).
std::string Shortest(double value) {
    char buffer[400];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr);
}

// Reads one definition; every failure sets the error and returns false.
class DefinitionReader {
public:
    DefinitionReader(KeyValueFile& file, const std::string& prefix) : m_file(file), m_prefix(prefix) {}

    std::optional<Crs> Read(std::string& error) {
        Crs crs;
        if (!Name(crs) || !Form(crs) || !Datum(crs) || !Grid(crs)) {
            error = m_error;
            return std::nullopt;
        }
        return crs;
    }

private:
    std::string Key(const char* key) const { return m_prefix + key; }

    bool Fail(const KeyValueFile::Entry& at, const char* key, const std::string& what) {
        m_error = m_file.Where(at.line) + Key(key) + " = " + at.value + ": " + what;
        return false;
    }
    bool Missing(const char* key, const std::string& what) {
        m_error = m_file.Source() + ": " + Key(key) + " is missing (" + what + ")";
        return false;
    }

    // A number the file gives; nothing when the key is absent.
    bool Number(const char* key, std::optional<double>& value, const KeyValueFile::Entry*& entry) {
        entry = m_file.Find(Key(key));
        if (entry == nullptr) return true;
        value = ParseDecimal(entry->value);
        if (!value || !std::isfinite(*value)) return Fail(*entry, key, "not a number");
        return true;
    }

    bool Name(Crs& crs) {
        const KeyValueFile::Entry* name = m_file.Find(Key("name"));
        if (name == nullptr) return true;
        if (name->value.empty()) return Fail(*name, "name", "the name is empty");
        for (const char c : name->value) {
            if (static_cast<unsigned char>(c) < 0x20) return Fail(*name, "name", "the name holds a control character");
        }
        crs.name = name->value;
        return true;
    }

    bool Form(Crs& crs) {
        m_form = m_file.Find(Key("form"));
        if (m_form == nullptr) return Missing("form", "gauss, geodetic or xyz");
        const std::string& value = m_form->value;
        if (value == "gauss") {
            crs.form = zelk::Form::Projected;
        } else if (value == "geodetic") {
            crs.form = zelk::Form::Geodetic;
        } else if (value == "xyz") {
            crs.form = zelk::Form::Geocentric;
        } else {
            return Fail(*m_form, "form", "not a form (gauss, geodetic or xyz)");
        }
        return true;
    }

    bool Datum(Crs& crs) {
        const KeyValueFile::Entry* datum = m_file.Find(Key("datum"));
        std::optional<double> a, rf;
        const KeyValueFile::Entry *aEntry = nullptr, *rfEntry = nullptr;
        if (!Number("a", a, aEntry) || !Number("rf", rf, rfEntry)) return false;
        if (datum != nullptr) {
            if (aEntry != nullptr || rfEntry != nullptr) {
                const KeyValueFile::Entry& later = *(aEntry != nullptr ? aEntry : rfEntry);
                return Fail(later, aEntry != nullptr ? "a" : "rf",
                            "a custom ellipsoid and " + Key("datum") + " exclude each other");
            }
            const zelk::Datum* known = FindDatum(datum->value);
            if (known == nullptr) {
                return Fail(*datum, "datum", "not a datum of the table (cgcs2000, xian80, beijing54, wgs84)");
            }
            crs.datum = known->id;
            return true;
        }
        if (aEntry == nullptr && rfEntry == nullptr) {
            return Missing("datum", "a datum of the table (cgcs2000, xian80, beijing54, wgs84), or a and rf");
        }
        if (aEntry == nullptr) return Fail(*rfEntry, "rf", Key("a") + " is missing (a custom ellipsoid needs a and rf)");
        if (rfEntry == nullptr) return Fail(*aEntry, "a", Key("rf") + " is missing (a custom ellipsoid needs a and rf)");
        if (!(*a >= kMinSemiMajorAxis && *a <= kMaxSemiMajorAxis)) {
            return Fail(*aEntry, "a", "not an earth ellipsoid (6000000 to 7000000 m)");
        }
        if (!(*rf > 1)) return Fail(*rfEntry, "rf", "the inverse flattening must be greater than 1");
        crs.ellipsoid = OwnEllipsoid{*a, *rf};
        return true;
    }

    bool Grid(Crs& crs) {
        if (crs.form != zelk::Form::Projected) {
            for (const char* key : kGridKeys) {
                if (const KeyValueFile::Entry* entry = m_file.Find(Key(key))) {
                    return Fail(*entry, key, "a " + m_form->value + " system has no grid (" + Key("form") +
                                                 " = gauss has)");
                }
            }
            return true;
        }
        const KeyValueFile::Entry* entry = nullptr;
        std::optional<double> meridian, k0, easting, northing, height, latitude;
        if (!Number("meridian", meridian, entry)) return false;
        if (!meridian) {
            m_error = m_file.Where(m_form->line) + Key("form") + " = gauss: " + Key("meridian") +
                      " is missing (the central meridian, packed D.MMSS: 114.20 is 114°20′)";
            return false;
        }
        if (!MeridianInRange(*meridian)) return Fail(*entry, "meridian", "not a meridian within ±180°");
        crs.meridian = *meridian;
        if (!Number("k0", k0, entry)) return false;
        if (k0 && !(*k0 > 0)) return Fail(*entry, "k0", "the scale on the central meridian must be greater than 0");
        if (!Number("false-easting", easting, entry) || !Number("false-northing", northing, entry)) return false;
        crs.scale = k0.value_or(1.0);
        crs.falseEasting = easting.value_or(500000.0);
        crs.falseNorthing = northing.value_or(0.0);

        const KeyValueFile::Entry* heightEntry = nullptr;
        if (!Number("plane-height", height, heightEntry)) return false;
        if (height && !(std::fabs(*height) <= kMaxPlaneHeight)) {
            return Fail(*heightEntry, "plane-height", "the projection plane must lie within ±10000 m");
        }
        if (!Number("plane-latitude", latitude, entry)) return false;
        if (latitude && !(std::fabs(DmsToRadian(*latitude)) <= DmsToRadian(90.0))) {
            return Fail(*entry, "plane-latitude", "not a latitude within ±90°");
        }
        crs.plane.height = height.value_or(0.0);
        if (crs.plane.height != 0.0 && !latitude) {
            return Fail(*heightEntry, "plane-height",
                        Key("plane-latitude") + " is missing (where the plane's radius is taken, packed D.MMSS)");
        }
        crs.plane.latitude = latitude.value_or(0.0);
        crs.plane.x0 = 0.0;
        crs.plane.y0 = crs.falseEasting;
        if (const KeyValueFile::Entry* origin = m_file.Find(Key("plane-origin"))) {
            const std::size_t comma = origin->value.find(',');
            std::optional<double> x, y;
            if (comma != std::string::npos) {
                const auto trim = [](std::string text) {
                    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.erase(0, 1);
                    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
                    return text;
                };
                x = ParseDecimal(trim(origin->value.substr(0, comma)));
                y = ParseDecimal(trim(origin->value.substr(comma + 1)));
            }
            if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y)) {
                return Fail(*origin, "plane-origin", "not two numbers x,y (m)");
            }
            crs.plane.x0 = *x;
            crs.plane.y0 = *y;
        }
        return true;
    }

    KeyValueFile& m_file;
    const std::string& m_prefix;
    const KeyValueFile::Entry* m_form = nullptr;
    std::string m_error;
};

}  // namespace

std::span<const DefinitionKey> SystemDefinitionKeys() { return kKeys; }

bool HasSystemDefinition(const KeyValueFile& file, const std::string& prefix) {
    for (const DefinitionKey& key : kKeys) {
        if (file.Peek(prefix + key.name) != nullptr) return true;
    }
    return false;
}

std::optional<Crs> ReadSystemDefinition(KeyValueFile& file, const std::string& prefix,
                                        std::string& error) {
    return DefinitionReader(file, prefix).Read(error);
}

std::string SystemDefinitionLines(const Crs& crs, const std::string& prefix) {
    std::string out;
    const auto line = [&](const char* key, const std::string& value) {
        out += prefix + key + " = " + value + "\n";
    };
    if (!crs.name.empty()) line("name", crs.name);
    if (crs.ellipsoid) {
        line("a", Shortest(crs.ellipsoid->a));
        line("rf", Shortest(crs.ellipsoid->rf));
    } else {
        line("datum", DatumOf(crs.datum).name);
    }
    line("form", FormKey(crs.form));
    if (!crs.IsProjected()) return out;
    line("meridian", Shortest(crs.meridian));
    line("k0", Shortest(crs.scale));
    line("false-easting", Shortest(crs.falseEasting));
    line("false-northing", Shortest(crs.falseNorthing));
    line("plane-height", Shortest(crs.plane.height));
    if (crs.plane.height != 0.0) {
        line("plane-latitude", Shortest(crs.plane.latitude));
        line("plane-origin", Shortest(crs.plane.x0) + "," + Shortest(crs.plane.y0));
    }
    return out;
}

std::string FormatSystemFile(const Crs& crs) {
    std::string out =
        "# A coordinate system of the user's own, for zelk-cli (--from @FILE, --to @FILE)\n"
        "# and the desktop program (自定义坐标系…).\n"
        "# datum: cgcs2000, xian80, beijing54 or wgs84; or a custom ellipsoid by a (m)\n"
        "#   and rf, a datum of its own. form: gauss (x y H), geodetic (B L H) or xyz.\n";
    if (crs.IsProjected()) {
        out += "# meridian and plane-latitude in packed D.MMSS (114.20 is 114°20′); k0 the scale\n"
               "# on the central meridian; false easting, northing and plane height H0 in metres.\n"
               "# The grid is scaled by 1 + H0/R about plane-origin (x,y), R the Gaussian mean\n"
               "# radius at plane-latitude.\n";
    }
    return out + SystemDefinitionLines(crs, "");
}

std::optional<Crs> ParseSystemFile(std::string_view text, const std::string& source,
                                   const std::string& fallbackName, std::string& error) {
    KeyValueFile file(source, true);
    if (!file.Read(text, error)) return std::nullopt;
    std::map<std::string, KeyValueFile::Kind> known;
    std::string names = "the keys are";
    for (const DefinitionKey& key : kKeys) {
        known[key.name] = key.kind;
        names += std::string(" ") + key.name;
    }
    if (!file.CheckLines(known, names, error, "key")) return std::nullopt;
    std::optional<Crs> crs = ReadSystemDefinition(file, "", error);
    if (crs && crs->name.empty()) crs->name = fallbackName;
    return crs;
}

std::optional<Crs> ReadSystemFile(const std::filesystem::path& path, std::string& error) {
    const std::optional<std::string> text = ReadSmallFile(path, kMaxFileBytes, "system file", error);
    if (!text) return std::nullopt;
    return ParseSystemFile(*text, platform::PathText(path), platform::PathText(path.stem()), error);
}

bool SaveSystemFile(const std::filesystem::path& path, const Crs& crs, std::string& error) {
    if (crs.form == Form::Local || crs.IsZoned()) {
        error = platform::PathText(path) + ": not written, a system file holds no local grid and no zones";
        return false;
    }
    const std::string text = FormatSystemFile(crs);
    AtomicOutputFile file;
    if (!file.Open(path)) {
        error = platform::PathText(path) + ": cannot write the system file";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.Stream()) == text.size();
    if (!written || !file.Commit()) {
        file.Abandon();
        error = platform::PathText(path) + ": cannot write the system file";
        return false;
    }
    return true;
}

}  // namespace zelk
