// Writes the table of tests/data/adapter_doubles.txt: every entry point of
// the original program (the ellipsoid classes' computations and the fields
// they leave, the seven-parameter model's Apply and Estimate with the
// message it shows, ConvertPoint, PointToCartesian, SystemToCartesian,
// CartesianToSystem, CPointConverter, the two list orders, the list-index
// file conversion and common-point reader) on a spread of inputs, each
// result as the bits of its double or as a text. The same source builds
// against any version of the program; the committed table was written by the
// version before the model took the entry points over (fd741e3), so the
// test that reads it proves every double and every text unchanged:
//
//   git worktree add /tmp/base fd741e3   (built there without UI and tests)
//   g++ -std=c++20 -O2 -ffp-contract=off -I/tmp/base tests/adapters/make_adapter_doubles.cpp
//       /tmp/base/build/workflow/libzelk_workflow.a /tmp/base/build/bursa/libzelk_bursa.a
//       /tmp/base/build/engine/libzelk_engine.a /tmp/base/build/platform/libzelk_platform.a
//       -lpthread                         (one command)
//   ./a.out > tests/data/adapter_doubles.txt
//
// Against today's tree: cmake --build build --target make_adapter_doubles.
//
// A line is the entry's name, its arguments, "->" and its results. A double
// is 16 hex digits (its bits); a text is ' and its bytes, with every byte
// outside ! to ~ and every % written %XX.
//
// Inputs avoid whole minutes of packed DMS, and the file conversion writes
// no geodetic target: the reading of whole minutes and the decimals of
// packed output were changed on purpose (a whole-minute value once read 40″
// high; B and L are now written to 0.00001″).
#if __has_include("adapters/ellipsoid.h")
#include "adapters/bursa_model.h"
#include "adapters/conversion.h"
#include "adapters/ellipsoid.h"
#include "adapters/point_converter.h"
#else
#include "bursa/bursa_model.h"
#include "engine/ellipsoid.h"
#include "workflow/conversion.h"
#include "workflow/estimation_run.h"
#include "workflow/file_conversion.h"
#include "workflow/point_converter.h"
#endif
#include "platform/message_box.h"
#include "adapter_files.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zelk::adaptertable;

namespace z {
#if __has_include("adapters/ellipsoid.h")
using zelk::CommonPointsResult;
using zelk::FileConversionOptions;
using zelk::FileConversionResult;
using zelk::IMessageService;
using zelk::MessageIcon;
using zelk::PointRecord;
using zelk::SetApplicationName;
using zelk::SetMessageService;
using zelk::SevenParams;
#else
using ::CommonPointsResult;
using ::FileConversionOptions;
using ::FileConversionResult;
using ::IMessageService;
using ::MessageIcon;
using ::PointRecord;
using ::SetApplicationName;
using ::SetMessageService;
using ::SevenParams;
#endif
}  // namespace z

std::uint64_t Bits(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// One line: the entry's name, its arguments and its results, each double as
// 16 hex digits.
void Line(const char* entry, std::initializer_list<double> in, std::initializer_list<double> out) {
    std::printf("%s", entry);
    for (double v : in) std::printf(" %016" PRIx64, Bits(v));
    std::printf(" ->");
    for (double v : out) std::printf(" %016" PRIx64, Bits(v));
    std::printf("\n");
}

// A packed DMS value from whole degrees and a fraction of a degree, never
// on a whole minute.
double Packed(int degrees, double minutes, double seconds) {
    return degrees + minutes / 100 + (seconds + 0.0123) / 10000;
}

std::unique_ptr<CEllipsoid> Datum(int i) {
    if (i == 0) return std::make_unique<CWgs84>();
    if (i == 1) return std::make_unique<CBeijing54>();
    return std::make_unique<CXian80>();
}

// A line of doubles and texts, printed when it goes.
class Writer {
public:
    explicit Writer(const std::string& entry) : m_line(entry) {}
    ~Writer() { std::printf("%s\n", m_line.c_str()); }
    Writer& Num(double v) {
        char hex[20];
        std::snprintf(hex, sizeof hex, " %016" PRIx64, Bits(v));
        m_line += hex;
        return *this;
    }
    Writer& Nums(std::initializer_list<double> values) {
        for (double v : values) Num(v);
        return *this;
    }
    Writer& Text(const std::string& text) {
        m_line += " '";
        for (unsigned char c : text) {
            if (c > ' ' && c <= '~' && c != '%') {
                m_line += static_cast<char>(c);
            } else {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", c);
                m_line += escaped;
            }
        }
        return *this;
    }
    Writer& Results() {
        m_line += " ->";
        return *this;
    }

private:
    std::string m_line;
};

void Params(Writer& w, const z::SevenParams& p) {
    w.Nums({p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ});
}

// ---- The ellipsoid objects' fields ----

const char* const kDatumNames[] = {"wgs84", "beijing54", "xian80"};
const char* const kComputations[] = {"GeodeticToCartesian", "CartesianToGeodetic", "GaussForward",
                                     "GaussInverse",        "UtmForward",          "UtmInverse"};

// One computation on a new object loaded through all four setters (the
// geodetic point last before a forward computation, so that its height
// stands, the plane point last before an inverse one), its results written
// into the very variables given to the setters. The line's results are
// those three values and the object's sixteen fields afterwards.
void FieldsLine(int datum, const std::string& computation, double L0, double B, double L, double H,
                double x, double y, double h, double X, double Y, double Z) {
    Writer w(std::string(kDatumNames[datum]) + ".Fields." + computation);
    w.Nums({L0, B, L, H, x, y, h, X, Y, Z}).Results();
    auto e = Datum(datum);
    e->SetCentralMeridian(L0);
    const bool forward = computation == "GeodeticToCartesian" || computation == "GaussForward" ||
                         computation == "UtmForward";
    if (forward) {
        e->SetPlane(x, y, h);
        e->SetCartesian(X, Y, Z);
        e->SetGeodetic(B, L, H);
    } else {
        e->SetGeodetic(B, L, H);
        e->SetCartesian(X, Y, Z);
        e->SetPlane(x, y, h);
    }
    if (computation == "GeodeticToCartesian") {
        e->GeodeticToCartesian(B, L, H);
        w.Nums({B, L, H});
    } else if (computation == "CartesianToGeodetic") {
        e->CartesianToGeodetic(X, Y, Z);
        w.Nums({X, Y, Z});
    } else if (computation == "GaussForward") {
        e->GaussForward(B, L, H);
        w.Nums({B, L, H});
    } else if (computation == "UtmForward") {
        e->UtmForward(B, L, H);
        w.Nums({B, L, H});
    } else if (computation == "GaussInverse") {
        e->GaussInverse(x, y, h);
        w.Nums({x, y, h});
    } else {
        e->UtmInverse(x, y, h);
        w.Nums({x, y, h});
    }
    w.Nums({e->m_a, e->m_b, e->m_e, e->m_L0, e->m_B, e->m_L, e->m_X, e->m_Y, e->m_Z, e->m_x, e->m_y,
            e->m_H, e->m_ePrime, e->m_k0, e->m_falseNorthing, e->m_falseEasting});
}

// ---- The seven-parameter model's estimation ----

// Records what Estimate shows, and whether the result was still untouched
// while it was shown.
class Shown final : public z::IMessageService {
public:
    explicit Shown(const z::SevenParams* out) : m_out(out), m_previous(z::SetMessageService(this)) {}
    ~Shown() override { z::SetMessageService(m_previous); }
    void Show(const std::string& text, const std::string& caption, z::MessageIcon icon) override {
        messages.push_back({text, caption, icon == z::MessageIcon::Warning ? "Warning" : "Error"});
        untouchedWhileShown = untouchedWhileShown && m_out->dX0 == -7.0 && m_out->betaZ == -7.0;
    }
    struct Message {
        std::string text, caption, icon;
    };
    std::vector<Message> messages;
    bool untouchedWhileShown = true;

private:
    const z::SevenParams* m_out;
    z::IMessageService* m_previous;
};

// Arguments: n and the m >= n pairs given (target X Y Z, then source X Y Z
// of each). Results: the code returned, the result (-7 in every field
// before), whether it was untouched while the message was shown, the
// internal parameter vector, and each message shown: icon, caption, text.
void EstimateLine(const std::vector<z::PointRecord>& target, const std::vector<z::PointRecord>& source,
                  int n) {
    z::SetApplicationName("zelk");
    z::SevenParams out{-7, -7, -7, -7, -7, -7, -7};
    Shown shown(&out);
    CBursaModel model;
    const int code = model.Estimate(target.data(), source.data(), n, out);
    Writer w("Estimate");
    w.Nums({static_cast<double>(n), static_cast<double>(target.size())});
    for (std::size_t i = 0; i < target.size(); ++i) {
        w.Nums({target[i].X, target[i].Y, target[i].Z, source[i].X, source[i].Y, source[i].Z});
    }
    w.Results().Num(code);
    Params(w, out);
    w.Num(shown.untouchedWhileShown ? 1.0 : 0.0);
    for (int j = 0; j < 7; ++j) w.Num(model.Internal()[j]);
    w.Num(static_cast<double>(shown.messages.size()));
    for (const Shown::Message& m : shown.messages) w.Text(m.icon).Text(m.caption).Text(m.text);
}

// Earth-centred points on the Beijing 1954 ellipsoid over a field around
// (lat0, lon0) degrees, spread over sizeKm.
std::vector<z::PointRecord> Field(int n, double sizeKm, unsigned seed, double lat0 = 30.5,
                                  double lon0 = 114.3) {
    std::mt19937 random(seed);
    const double half = sizeKm / 2 / 111.0;
    std::uniform_real_distribution<double> d(-half, half), h(0, 300);
    std::vector<z::PointRecord> points;
    for (int i = 0; i < n; ++i) {
        const double lat = lat0 + d(random), lon = lon0 + d(random);
        CBeijing54 e;
        e.m_B = lat * 3.14159265358979 / 180;
        e.m_L = lon * 3.14159265358979 / 180;
        e.m_H = h(random);
        z::PointRecord p;
        e.GeodeticToCartesian(p.X, p.Y, p.Z);
        points.push_back(p);
    }
    return points;
}

std::vector<z::PointRecord> Transformed(const std::vector<z::PointRecord>& source,
                                        const z::SevenParams& p, double noise = 0.0,
                                        unsigned seed = 0) {
    CBursaModel model;
    model.SetParams(p);
    std::mt19937 random(seed);
    std::normal_distribution<double> error(0, noise > 0 ? noise : 1);
    std::vector<z::PointRecord> out(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        model.SetInput(source[i]);
        model.Apply(out[i]);
        if (noise > 0) {
            out[i].X += error(random);
            out[i].Y += error(random);
            out[i].Z += error(random);
        }
    }
    return out;
}

// ---- Files by list index ----


// Arguments: the two systems (seven-parameter list), their meridians and
// the two files. Results: the status, the file and line of a problem, its
// token, the pairs and X Y Z of each before point, then of each after point.
void ReadCommonPointsLine(int beforeSystem, int afterSystem, double beforeMeridian,
                          double afterMeridian, const std::string& beforeText,
                          const std::string& afterText) {
    std::FILE* b = FileOf(beforeText);
    std::FILE* a = FileOf(afterText);
    std::vector<z::PointRecord> before, after;
    const z::CommonPointsResult result =
        ReadCommonPoints(b, a, beforeSystem, afterSystem, beforeMeridian, afterMeridian, before, after);
    std::fclose(b);
    std::fclose(a);
    Writer w("ReadCommonPoints");
    w.Nums({static_cast<double>(beforeSystem), static_cast<double>(afterSystem), beforeMeridian,
            afterMeridian});
    w.Text(beforeText).Text(afterText).Results();
    w.Text(StatusName(result.status));
    w.Nums({result.inAfterFile ? 1.0 : 0.0, static_cast<double>(result.line)});
    w.Text(result.token).Num(static_cast<double>(before.size()));
    for (const z::PointRecord& p : before) w.Nums({p.X, p.Y, p.Z});
    for (const z::PointRecord& p : after) w.Nums({p.X, p.Y, p.Z});
}

// Arguments: names or not, the two systems (main list), their meridians,
// the parameters and the input. Results: the status, the line and token of
// a problem, the points written and the output, converted on one thread.
void ConvertPointFileLine(bool withNames, int source, int target, double sourceMeridian,
                          double targetMeridian, const z::SevenParams& p, const std::string& text) {
    std::FILE* in = FileOf(text);
    std::FILE* out = std::tmpfile();
    z::FileConversionOptions options;
    options.threads = 1;
    const z::FileConversionResult result = ConvertPointFile(in, out, withNames, source, target,
                                                            sourceMeridian, targetMeridian, p, options);
    const std::string written = Contents(out);
    std::fclose(in);
    std::fclose(out);
    Writer w("ConvertPointFile");
    w.Nums({withNames ? 1.0 : 0.0, static_cast<double>(source), static_cast<double>(target),
            sourceMeridian, targetMeridian});
    Params(w, p);
    w.Text(text).Results();
    w.Text(StatusName(result.status)).Num(static_cast<double>(result.line)).Text(result.token);
    w.Num(static_cast<double>(result.points)).Text(written);
}

// Three decimals, as a surveyor's file holds them.
std::string Fixed(double v, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// Everything added to the table after its first 1624 lines, from a
// generator of its own, so that those lines stay as they were written.
void MoreLines() {
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int> degB(18, 53), degL(74, 134), minute(0, 59);
    std::uniform_real_distribution<double> second(0, 59.9), height(-50, 3000), unit(-1, 1);
    const auto packed = [&](std::uniform_int_distribution<int>& degrees) {
        return Packed(degrees(random), minute(random), second(random));
    };

    // Every computation of every datum, and the fields it leaves.
    for (int d = 0; d < 3; ++d) {
        for (int i = 0; i < 5; ++i) {
            const double B = packed(degB), L = packed(degL), H = height(random);
            const double L0 = Packed(static_cast<int>(L) + (i % 5) - 2, 0, 0) - 0.0000123;
            const double x = 3400000 + 1e6 * unit(random);
            const double y = 500000 + 2e5 * unit(random);
            const double h = height(random);
            // X Y Z of another point.
            const double B2 = packed(degB), L2 = packed(degL), H2 = height(random);
            double X, Y, Z;
            auto e = Datum(d);
            e->SetGeodetic(B2, L2, H2);
            e->GeodeticToCartesian(X, Y, Z);
            for (const char* computation : kComputations) {
                FieldsLine(d, computation, L0, B, L, H, x, y, h, X, Y, Z);
            }
        }
    }

    // The two list orders.
    for (int i = 0; i < kSystemCount; ++i) {
        Writer(std::string("MainList"))
            .Num(i)
            .Results()
            .Num(static_cast<double>(SystemFromMainList(i)))
            .Num(IsProjected(SystemFromMainList(i)) ? 1.0 : 0.0)
            .Text(MainListLabel(i));
    }
    for (int i = 0; i < kSystemCount; ++i) {
        Writer(std::string("ParamList"))
            .Num(i)
            .Results()
            .Num(static_cast<double>(SystemFromParamList(i)))
            .Num(IsProjected(SystemFromParamList(i)) ? 1.0 : 0.0)
            .Text(ParamListLabel(i));
    }

    // Outside the lists: X Y Z stays X Y Z.
    std::uniform_real_distribution<double> shift(-200, 200), ppm(-10, 10), seconds(-5, 5);
    for (int i = 0; i < 4; ++i) {
        const z::SevenParams p{shift(random), shift(random), shift(random), ppm(random),
                               seconds(random), seconds(random), seconds(random)};
        const double X = -2170000 + 1e5 * unit(random);
        const double Y = 4380000 + 1e5 * unit(random);
        const double Z = 4080000 + 1e5 * unit(random);
        for (int index : {-1, 6, 7}) {
            double a = X, b = Y, c = Z;
            PointToCartesian(index, 117.0, a, b, c);
            Line("PointToCartesian", {static_cast<double>(index), 117.0, X, Y, Z}, {a, b, c});
        }
        for (int source : {-1, 6}) {
            for (int target : {-1, 6, 7}) {
                double a = X, b = Y, c = Z;
                ConvertPoint(source, target, 0.0, 0.0, p, a, b, c);
                Line("ConvertPoint",
                     {static_cast<double>(source), static_cast<double>(target), 0.0, 0.0, p.dX0,
                      p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ, X, Y, Z},
                     {a, b, c});
            }
        }
    }

    // Seven points at a time between every pair of the lists and X Y Z, up
    // to 9 degrees from the source meridian, some odd.
    for (int source = -1; source <= kSystemCount; ++source) {
        for (int target = -1; target <= kSystemCount; ++target) {
            const z::SevenParams p{shift(random), shift(random), shift(random), ppm(random),
                                   seconds(random), seconds(random), seconds(random)};
            const double L0 = 117.0, targetMeridian = 111.0;
            std::vector<double> values;
            for (int k = 0; k < 7; ++k) {
                double a = packed(degB);
                double b = Packed(108 + 2 * k + (source & 1), 17, 23.5);
                double c = height(random);
                ConvertPoint(3, source, L0, L0, z::SevenParams{}, a, b, c);
                values.insert(values.end(), {a, b, c});
            }
            values[6] = 0.0;     // point 3 on the equator or the first axis
            values[7] = -values[7];
            values[20] = 0.0;    // point 7 at no height
            std::vector<double> many = values;
            CPointConverter converter(source, target, L0, targetMeridian, p);
            converter.ConvertMany(many.data(), 7);
            Writer w("CPointConverterMany");
            w.Nums({static_cast<double>(source), static_cast<double>(target), L0, targetMeridian});
            Params(w, p);
            for (double v : values) w.Num(v);
            w.Results();
            for (double v : many) w.Num(v);
        }
    }

    // The estimation: its code, its result and the message it shows.
    {
        const auto points = Field(5, 3, 1);
        EstimateLine(points, points, 5);
        const auto four = Field(4, 2, 5);
        EstimateLine(four, four, 4);
        const auto six = Field(6, 5, 2);
        EstimateLine(Transformed(six, {100, -50, 25, 0, 0, 0, 0}), six, 6);
        const auto twelve = Field(12, 4, 3);
        EstimateLine(Transformed(twelve, {-15.4, 142.7, 83.2, 2.5, 1.2, -0.8, 3.1}), twelve, 12);
        const auto twenty = Field(20, 10, 4);
        EstimateLine(Transformed(twenty, {10, 20, 30, 1, 0.5, 0.5, 0.5}, 0.05, 9), twenty, 20);
        const auto thirty = Field(30, 50, 10, 36.1, 117.2);
        EstimateLine(Transformed(thirty, {-48.3, 61.9, 27.4, 3.7, 2.1, -1.6, 4.4}, 0.002, 11), thirty,
                     30);
        const auto two = Field(2, 2, 6);
        for (int n : {0, 1, 2}) EstimateLine(two, two, n);
        const std::vector<z::PointRecord> coincident(5, Field(1, 1, 7)[0]);
        EstimateLine(Transformed(coincident, {1, 2, 3, 0, 0, 0, 0}), coincident, 5);
        const auto ends = Field(2, 20, 8);
        std::vector<z::PointRecord> line;
        for (int i = 0; i < 5; ++i) {
            const double t = i / 4.0;
            line.push_back({ends[0].X + t * (ends[1].X - ends[0].X),
                            ends[0].Y + t * (ends[1].Y - ends[0].Y),
                            ends[0].Z + t * (ends[1].Z - ends[0].Z)});
        }
        EstimateLine(Transformed(line, {1, 2, 3, 0, 0, 0, 0}), line, 5);
    }

    // Common points by seven-parameter-list index, and their endings. Each
    // value is drawn in a statement of its own, so that the order of the
    // draws is the same with any compiler.
    {
        // Plane points near meridian 117, geodetic points and X Y Z, plain
        // text.
        const auto triple = [&](double a0, double b0, double c0, double spread, int decimals,
                                const char* separator, const char* end) {
            const double a = a0 + spread * unit(random);
            const double b = b0 + spread * unit(random);
            const double c = c0 + 40 * unit(random);
            return Fixed(a, decimals) + " " + Fixed(b, decimals) + separator + Fixed(c) + end;
        };
        const auto plane = [&](int n, const char* end = "\n") {
            std::string text;
            for (int i = 0; i < n; ++i) text += triple(4400000, 480000, 50, 20000, 3, " ", end);
            return text;
        };
        const auto geodetic = [&](int n, const char* end = "\n") {
            std::string text;
            for (int i = 0; i < n; ++i) {
                const double B = Packed(39, 50 + i, second(random));
                const double L = Packed(116, 10 + 3 * i, second(random));
                text += Fixed(B, 8) + "\t" + Fixed(L, 8) + " ";
                text += Fixed(50 + 40 * unit(random)) + end;
            }
            return text;
        };
        const auto xyz = [&](int n) {
            std::string text;
            for (int i = 0; i < n; ++i) text += triple(-2170000, 4380000, 4080000, 10000, 3, " ", "\n");
            return text;
        };
        const auto text = [&](int index, int n) {
            if (index < 0 || index >= kSystemCount) return xyz(n);
            return index % 2 == 1 ? plane(n) : geodetic(n);
        };
        // Every index on either side, each with its kind of values.
        for (int side = -1; side <= kSystemCount; ++side) {
            const int other = side < 0 || side >= kSystemCount ? 3 : kSystemCount - 1 - side;
            const std::string before = text(side, 4);
            const std::string after = text(other, 4);
            ReadCommonPointsLine(side, other, 117.0, 114.3, before, after);
        }
        std::string before, after;
        // The after file shorter, then the before file.
        before = plane(5, "\r\n");
        after = geodetic(3);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        before = plane(3);
        after = geodetic(5, "\r\n\n");
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        // A bad token in either file.
        before = plane(2) + "4400000.5 #480000 5\n";
        before += plane(2);
        after = geodetic(5);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        before = plane(5);
        after = geodetic(1) + "39.5 x 12\n";
        after += geodetic(3);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        // A point cut short in either file.
        before = plane(5);
        after = geodetic(2) + "39.5512 116.1511";
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        before = plane(2) + "4400000.5";
        after = geodetic(5);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        // An empty file on either side.
        after = geodetic(2);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, "", after);
        before = plane(2);
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, "");
        // Blank lines and spaces around the points.
        before = "\n\n" + plane(3) + "\n";
        after = "\r\n" + geodetic(3) + "  \n";
        ReadCommonPointsLine(1, 4, 117.0, 0.0, before, after);
        after = plane(2);
        ReadCommonPointsLine(7, 1, 0.0, 0.0, "1 2 3\n-4 5e3 6\n", after);
    }

    // Files by main-list index, into projected systems and X Y Z.
    {
        const z::SevenParams p{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
        std::string plain, named;
        for (int i = 0; i < 6; ++i) {
            const double x = 4400000 + 20000 * unit(random);
            const double y = 480000 + 20000 * unit(random);
            const double h = 50 + 40 * unit(random);
            const std::string values =
                Fixed(x) + " " + Fixed(y) + "\t" + Fixed(h) + (i % 2 ? "\r\n" : "\n");
            plain += values;
            named += (i % 3 == 0 ? std::string("\xB5\xE3") : std::string("K")) + std::to_string(i) + " " + values;
        }
        for (int target : {-1, 0, 2, 4}) {
            ConvertPointFileLine(false, 2, target, 117.0, 114.0, p, plain);
            ConvertPointFileLine(true, 2, target, 117.0, 114.0, p, named);
        }
        std::string geodetic;
        for (int i = 0; i < 4; ++i) {
            const double B = Packed(39, 20 + i, second(random));
            const double L = Packed(116, 40 + i, second(random));
            const double H = height(random);
            geodetic += Fixed(B, 8) + " " + Fixed(L, 8) + " " + Fixed(H) + "\n";
        }
        ConvertPointFileLine(false, 5, 4, 0.0, 117.0, p, geodetic);
        ConvertPointFileLine(false, 1, 0, 0.0, 117.0, p, geodetic);
        ConvertPointFileLine(false, -1, -1, 0.0, 0.0, z::SevenParams{}, "1 2 3\n-0 4.25 1e3\n");
        ConvertPointFileLine(false, 2, 0, 117.0, 117.0, p, plain.substr(0, 40) + "x" + plain.substr(40));
        ConvertPointFileLine(true, 2, 4, 117.0, 117.0, p, named + "K9 4400000");
        ConvertPointFileLine(false, 2, 4, 117.0, 117.0, p, "");
    }
}

}  // namespace

int main() {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> degB(18, 53), degL(74, 134), minute(0, 59);
    std::uniform_real_distribution<double> second(0, 59.9), height(-50, 3000), offset(-2.9, 2.9);
    const auto geodetic = [&](double& B, double& L, double& H) {
        B = Packed(degB(random), minute(random), second(random));
        L = Packed(degL(random), minute(random), second(random));
        H = height(random);
    };
    for (int d = 0; d < 3; ++d) {
        const char* names[] = {"wgs84", "beijing54", "xian80"};
        for (int i = 0; i < 40; ++i) {
            double B, L, H;
            geodetic(B, L, H);
            auto e = Datum(d);
            e->SetGeodetic(B, L, H);
            double X, Y, Z;
            e->GeodeticToCartesian(X, Y, Z);
            Line((std::string(names[d]) + ".GeodeticToCartesian").c_str(), {B, L, H}, {X, Y, Z});
            auto back = Datum(d);
            back->SetCartesian(X, Y, Z);
            double b, l, h;
            back->CartesianToGeodetic(b, l, h);
            Line((std::string(names[d]) + ".CartesianToGeodetic").c_str(), {X, Y, Z}, {b, l, h});
            // The projections on a meridian within 3 degrees of the point.
            const double L0 = Packed(static_cast<int>(L) + (i % 5) - 2, 0, 0) - 0.0000123;
            for (bool utm : {false, true}) {
                auto f = Datum(d);
                f->SetCentralMeridian(L0);
                f->SetGeodetic(B, L, H);
                double x, y, hh;
                utm ? f->UtmForward(x, y, hh) : f->GaussForward(x, y, hh);
                Line((std::string(names[d]) + (utm ? ".UtmForward" : ".GaussForward")).c_str(),
                     {L0, B, L, H}, {x, y, hh});
                auto r = Datum(d);
                r->SetCentralMeridian(L0);
                r->SetPlane(x, y, hh);
                double rb, rl, rh;
                utm ? r->UtmInverse(rb, rl, rh) : r->GaussInverse(rb, rl, rh);
                Line((std::string(names[d]) + (utm ? ".UtmInverse" : ".GaussInverse")).c_str(),
                     {L0, x, y, hh}, {rb, rl, rh});
            }
        }
    }
    // The seven-parameter model.
    std::uniform_real_distribution<double> shift(-200, 200), ppm(-10, 10), seconds(-5, 5);
    for (int i = 0; i < 40; ++i) {
        const z::SevenParams p{shift(random), shift(random), shift(random), ppm(random),
                               seconds(random), seconds(random), seconds(random)};
        double B, L, H, X, Y, Z;
        geodetic(B, L, H);
        auto e = Datum(i % 3);
        e->SetGeodetic(B, L, H);
        e->GeodeticToCartesian(X, Y, Z);
        CBursaModel model;
        model.SetParams(p);
        model.SetInput(z::PointRecord{X, Y, Z});
        z::PointRecord out;
        model.Apply(out);
        Line("CBursaModel.Apply", {p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ, X, Y, Z},
             {out.X, out.Y, out.Z});
    }
    // ConvertPoint between every pair of the six systems and X Y Z (-1),
    // with parameters; PointToCartesian on every seven-parameter index.
    for (int i = 0; i < 12; ++i) {
        const z::SevenParams p{shift(random), shift(random), shift(random), ppm(random),
                               seconds(random), seconds(random), seconds(random)};
        double B, L, H;
        geodetic(B, L, H);
        const double L0 = Packed(static_cast<int>(L), 0, 0) - 0.0000123;
        // The point in each system of the main list, as its source.
        for (int source = -1; source < kSystemCount; ++source) {
            double a = B, b = L, c = H;
            // From Beijing 1954 geodetic (main index 3) into the source system.
            ConvertPoint(3, source, L0, L0, z::SevenParams{}, a, b, c);
            for (int target = -1; target < kSystemCount; ++target) {
                double x = a, y = b, h = c;
                ConvertPoint(source, target, L0, L0 + 0.01, p, x, y, h);
                Line("ConvertPoint",
                     {static_cast<double>(source), static_cast<double>(target), L0, L0 + 0.01, p.dX0,
                      p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ, a, b, c},
                     {x, y, h});
            }
            if (source >= 0) {
                double X = a, Y = b, Z = c;
                const CoordinateSystem system = SystemFromMainList(source);
                SystemToCartesian(system, L0, X, Y, Z);
                Line("SystemToCartesian", {static_cast<double>(source), L0, a, b, c}, {X, Y, Z});
                double u = X, v = Y, w = Z;
                CartesianToSystem(system, L0, u, v, w);
                Line("CartesianToSystem", {static_cast<double>(source), L0, X, Y, Z}, {u, v, w});
            }
        }
        for (int index = 0; index < kSystemCount; ++index) {
            double a = B, b = L, c = H;
            ConvertPoint(3, static_cast<int>(SystemFromParamList(index)), L0, L0, z::SevenParams{}, a, b,
                         c);
            double X = a, Y = b, Z = c;
            PointToCartesian(index, L0, X, Y, Z);
            Line("PointToCartesian", {static_cast<double>(index), L0, a, b, c}, {X, Y, Z});
        }
        // Many points at a time give the same doubles as one at a time.
        CPointConverter converter(2, 1, L0, 0.0, p);
        std::vector<double> many;
        for (int k = 0; k < 5; ++k) {
            double a = B, b = L + 0.0001 * k, c = H;
            ConvertPoint(3, 2, L0, L0, z::SevenParams{}, a, b, c);
            many.insert(many.end(), {a, b, c});
        }
        std::vector<double> in = many;
        converter.ConvertMany(many.data(), 5);
        for (int k = 0; k < 5; ++k) {
            Line("CPointConverter", {L0, p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ, in[3 * k],
                                     in[3 * k + 1], in[3 * k + 2]},
                 {many[3 * k], many[3 * k + 1], many[3 * k + 2]});
        }
    }
    MoreLines();
    return 0;
}
