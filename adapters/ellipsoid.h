// The original program's ellipsoid classes, as thin adapters over the model
// (zelk::Ellipsoid in engine/ellipsoid.h, the kernels of engine/geocentric.h
// and zelk::TransverseMercator): each member stores into or reads from the
// object's fields and runs the model's arithmetic, so every double is the
// model's.
//
// An ellipsoid object is the engine's unit of work: the constants of one
// ellipsoid, the constants of its map projection and the working values of
// the one point being converted. Callers build a fresh object per step, load
// it with one or two setters, run one or two computations and drop it.
//
// Every operation is a plain member of CEllipsoid, so any object can run any
// projection; the caller picks UTM for WGS84 and Gauss-Kruger for the other
// two. Computations hand their three results back through references, which
// may be the very variables the caller passed to the setters.
#pragma once

#include "engine/ellipsoid.h"

class CEllipsoid {
public:
    virtual ~CEllipsoid();

    // Setters. Angles are packed DMS (ddd.mmss), lengths metres.
    void SetCentralMeridian(double L0);
    void SetGeodetic(double B, double L, double H);
    void SetPlane(double x, double y, double H);
    void SetCartesian(double X, double Y, double Z);

    // Geodetic B, L, H -> earth-centred X, Y, Z. Changes no field.
    void GeodeticToCartesian(double& X, double& Y, double& Z) const;
    // Earth-centred X, Y, Z -> B, L (packed DMS), H. Changes no field.
    void CartesianToGeodetic(double& B, double& L, double& H) const;

    // Gauss-Kruger (scale 1.0 on the central meridian).
    void GaussForward(double& x, double& y, double& H);
    void GaussInverse(double& B, double& L, double& H);

    // UTM (scale 0.9996 on the central meridian).
    void UtmForward(double& x, double& y, double& H);
    void UtmInverse(double& B, double& L, double& H);

    // The four constants as an ellipsoid value.
    zelk::Ellipsoid Shape() const {
        return zelk::Ellipsoid::FromConstants(m_a, m_b, m_e, m_ePrime);
    }

    // Fields, in this order; all public so tests and tools can inspect them.
    double m_a = 0.0;        // semi-major axis, m
    double m_b = 0.0;        // semi-minor axis, m
    double m_e = 0.0;        // first eccentricity (not squared)
    double m_L0 = 0.0;       // central meridian, rad
    double m_B = 0.0;        // latitude, rad
    double m_L = 0.0;        // longitude, rad
    double m_X = 0.0;        // earth-centred cartesian, m
    double m_Y = 0.0;
    double m_Z = 0.0;
    double m_x = 0.0;        // northing, m
    double m_y = 0.0;        // easting incl. 500000 m, no zone number, m
    double m_H = 0.0;        // ellipsoidal height, m
    double m_ePrime = 0.0;   // second eccentricity (not squared)
    double m_k0 = 0.0;       // scale of the projection that ran last
    double m_falseNorthing;  // 0.0
    double m_falseEasting;   // 500000.0

protected:
    CEllipsoid();
    // Stores the constants of e.
    void SetShape(const zelk::Ellipsoid& e);
};

class CWgs84 : public virtual CEllipsoid {
public:
    CWgs84();
    ~CWgs84() override;
};

// Beijing 1954, Krassovsky ellipsoid.
class CBeijing54 : public virtual CEllipsoid {
public:
    CBeijing54();
    ~CBeijing54() override;
};

// Xian 1980, IAG 1975 ellipsoid.
class CXian80 : public virtual CEllipsoid {
public:
    CXian80();
    ~CXian80() override;
};
