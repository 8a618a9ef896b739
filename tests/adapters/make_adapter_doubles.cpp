// Writes the table of tests/data/adapter_doubles.txt: every entry point of
// the original program (the ellipsoid classes' computations, the
// seven-parameter model, ConvertPoint, PointToCartesian, SystemToCartesian,
// CartesianToSystem, CPointConverter) on a spread of inputs, each result as
// the bits of its double. The same source builds against any version of the
// program; the committed table was written by the version before the
// model took the entry points over, so the test that reads it proves every
// double unchanged.
//
// Inputs avoid whole minutes of packed DMS: the reading of those was mended
// on purpose (a whole-minute value once read 40″ high).
#if __has_include("adapters/ellipsoid.h")
#include "adapters/bursa_model.h"
#include "adapters/conversion.h"
#include "adapters/ellipsoid.h"
#include "adapters/point_converter.h"
#else
#include "bursa/bursa_model.h"
#include "engine/ellipsoid.h"
#include "workflow/conversion.h"
#include "workflow/point_converter.h"
#endif

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace z {
#if __has_include("adapters/ellipsoid.h")
using zelk::PointRecord;
using zelk::SevenParams;
#else
using ::PointRecord;
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
    return 0;
}
