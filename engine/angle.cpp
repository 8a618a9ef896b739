#include "engine/angle.h"

#include <cmath>
#include <cstdint>

namespace zelk {

namespace {
// Doubles nearest to 1/3600, 1/60 and 1/180: the steps multiply, never divide.
constexpr double kOneOver3600 = 0.0002777777777777778;
constexpr double kOneOver60 = 0.016666666666666666;
constexpr double kOneOver180 = 0.005555555555555556;
}  // namespace

double TruncInt32(double v) {
    // In range the 32-bit conversion and std::trunc agree exactly; outside it
    // (or for NaN) the integer conversion would be undefined behaviour.
    if (v > -2147483649.0 && v < 2147483648.0) {
        return static_cast<double>(static_cast<std::int32_t>(v));
    }
    return std::trunc(v);
}

namespace {
// The reading of engine/angle.h, inlined into both of its users.
inline void Read(double a, double& D, double& M, double& S) {
    D = TruncInt32(a);
    // The two products are formed first; a - D is never formed.
    const double minutes = a * 100 - D * 100;
    M = TruncInt32(minutes);
    // A whole minute's double that truncates one minute short: compared
    // with the quotient only when the minutes are that close to the next.
    if (minutes - M > 0.99 && a == (D * 100 + (M + 1)) / 100) {
        M += 1;
        S = 0.0;
        return;
    }
    S = a * 10000 - D * 10000 - M * 100;
}
}  // namespace

DmsReading ReadDms(double a) {
    DmsReading r;
    Read(a, r.degrees, r.minutes, r.seconds);
    return r;
}

double DmsToRadian(double x) {
    const double s = x < 0 ? -1.0 : 1.0;  // -0.0 is not negative
    double D, M, S;
    Read(std::fabs(x), D, M, S);
    return ((S * kOneOver3600 + M * kOneOver60) + D) * s * kPi * kOneOver180;
}

double RadianToDms(double r) {
    const double s = r < 0 ? -1.0 : 1.0;
    const double a = std::fabs(r * 180 / kPi);
    const double D = TruncInt32(a);
    const double M = TruncInt32(a * 60 - D * 60);
    const double S = a * 3600 - D * 3600 - M * 60;
    return ((S * 0.0001 + M * 0.01) + D) * s;
}

}  // namespace zelk
