// Realistic survey points for the benchmarks, the same on every machine: a
// fixed seed and nothing implementation-defined (raw 64-bit draws, not the
// library's distributions).
#pragma once

#include <cstdint>
#include <random>

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/transverse_mercator.h"

using namespace zelk;

class BenchPoints {
public:
    explicit BenchPoints(std::uint64_t seed = 20240601) : m_random(seed) {}

    // A uniform double in [low, high).
    double Uniform(double low, double high) {
        const double unit = static_cast<double>(m_random() >> 11) * 0x1.0p-53;
        return low + (high - low) * unit;
    }

    // A Beijing 1954 Gauss-Kruger point on the central meridian 117: a
    // latitude between 23 and 49 degrees north (the zone's extent in China),
    // a longitude within 1.5 degrees of the meridian, a height up to 2000 m.
    void NextGauss(double& x, double& y, double& H) {
        const double degrees = kPi / 180.0;
        const double B = Uniform(23.0, 49.0) * degrees;
        const double L = Uniform(115.5, 118.5) * degrees;
        H = Uniform(0.0, 2000.0);
        m_gauss.Forward(DmsToRadian(117.0), B, L, x, y);
    }

private:
    std::mt19937_64 m_random;
    zelk::TransverseMercator m_gauss =
        zelk::TransverseMercator::GaussKruger(zelk::DatumOf(zelk::DatumId::Beijing54).ellipsoid);
};
