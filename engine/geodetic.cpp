// Geodetic <-> earth-centred cartesian coordinates, one point at a time; the
// arithmetic lives in the batch kernels.
#include "engine/batch.h"
#include "engine/ellipsoid.h"

void CEllipsoid::GeodeticToCartesian(double& X, double& Y, double& Z) const {
    double x, y, z;
    GeodeticToCartesianBatch(Shape(), &m_B, &m_L, &m_H, &x, &y, &z, 1);
    X = x;
    Y = y;
    Z = z;
}

void CEllipsoid::CartesianToGeodetic(double& B, double& L, double& H) const {
    double v[3] = {m_X, m_Y, m_Z};
    CartesianToGeodeticBatch(Shape(), v, 1);
    B = v[0];
    L = v[1];
    H = v[2];
}
