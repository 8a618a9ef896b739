// The seven parameters in user units and the point record.
#pragma once

namespace zelk {

// Bursa-Wolf parameters as the user types them.
struct SevenParams {
    double dX0 = 0.0;    // translation along X, m
    double dY0 = 0.0;    // translation along Y, m
    double dZ0 = 0.0;    // translation along Z, m
    double K = 0.0;      // scale change, ppm
    double betaX = 0.0;  // rotation about X, arc-seconds
    double betaY = 0.0;  // rotation about Y, arc-seconds
    double betaZ = 0.0;  // rotation about Z, arc-seconds
};

// One point's earth-centred cartesian coordinates, metres.
struct PointRecord {
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
};

}  // namespace zelk
