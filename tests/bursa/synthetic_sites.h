// Synthetic common points whose true transformation is known: earth-centred
// fields and roads on the Beijing 1954 ellipsoid, and plane sites.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "bursa/four_params.h"
#include "bursa/helmert.h"
#include "engine/datum.h"
#include "engine/geocentric.h"

using namespace zelk;

namespace synthetic {

inline PointRecord Cartesian(double latDeg, double lonDeg, double h) {
    const double B = latDeg * M_PI / 180, L = lonDeg * M_PI / 180;
    PointRecord p;
    GeodeticToCartesianBatch(DatumOf(DatumId::Beijing54).ellipsoid, &B, &L, &h, &p.X, &p.Y, &p.Z, 1);
    return p;
}

// A point at `north` and `east` metres from (lat0, lon0), height h.
inline PointRecord Offset(double lat0, double lon0, double north, double east, double h) {
    return Cartesian(lat0 + north / 111000.0,
                     lon0 + east / (111000.0 * std::cos(lat0 * M_PI / 180)), h);
}

// n points spread uniformly over a square field sizeKm across, heights
// 0 to 300 m.
inline std::vector<PointRecord> Field(int n, double sizeKm, unsigned seed, double lat0 = 36.0,
                                      double lon0 = 117.0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> d(-sizeKm * 500, sizeKm * 500), h(0, 300);
    std::vector<PointRecord> points;
    for (int i = 0; i < n; ++i) {
        const double north = d(random), east = d(random);
        points.push_back(Offset(lat0, lon0, north, east, h(random)));
    }
    return points;
}

// n points along a straight road lengthKm long, bearing 53 degrees, each
// up to `lateral` metres off its axis, heights 20 to 80 m.
inline std::vector<PointRecord> Road(int n, double lengthKm, double lateral, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> off(-1, 1), h(20, 80);
    std::vector<PointRecord> points;
    for (int i = 0; i < n; ++i) {
        const double along = (i / (n - 1.0) - 0.5) * lengthKm * 1000;
        const double aside = lateral * off(random);
        points.push_back(Offset(36.0, 117.0, along * 0.6 + aside * 0.8, along * 0.8 - aside * 0.6,
                                h(random)));
    }
    return points;
}

inline std::vector<PointRecord> Transformed(const std::vector<PointRecord>& source,
                                            const SevenParams& p) {
    double internal[kBursaCount];
    ParamsToInternal(p, internal);
    std::vector<PointRecord> out(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) out[i] = ApplyBursa(internal, source[i]);
    return out;
}

// Normal noise of sigma metres on every coordinate.
inline void AddNoise(std::vector<PointRecord>& points, double sigma, std::mt19937& random) {
    std::normal_distribution<double> noise(0, sigma);
    for (PointRecord& p : points) {
        p.X += noise(random);
        p.Y += noise(random);
        p.Z += noise(random);
    }
}

// A plane site sizeKm across around x 3 400 000, y 500 000 (Gauss-Kruger
// metres); heights 20 to 120 m.
inline std::vector<GridPoint> Site(int n, double sizeKm, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> d(-sizeKm * 500, sizeKm * 500), h(20, 120);
    std::vector<GridPoint> points;
    for (int i = 0; i < n; ++i) {
        const double x = 3400000.0 + d(random), y = 500000.0 + d(random);
        points.push_back({x, y, h(random)});
    }
    return points;
}

}  // namespace synthetic
