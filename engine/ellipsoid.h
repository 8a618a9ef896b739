// A reference ellipsoid of revolution, as the engine's formulas use it.
//
// The formulas read four constants: the semi-major axis a and the
// semi-minor axis b in metres, the first eccentricity e and the second
// eccentricity e' (each the eccentricity itself, not its square); whatever
// else they need (e², e⁴, the meridian-arc coefficients) they derive from
// these at the point of use, always in the same way.
//
// A new ellipsoid is defined by a and the flattening f, and the other three
// follow: b = a(1 − f), e² = f(2 − f), e'² = e²/(1 − e²). The three datums
// the engine started with (WGS84, Krassovsky, IAG 1975) keep the published
// decimal constants they have always been computed with; values derived from
// their a and b differ from those in the last digits, and every result of
// those datums depends on the literal values. They also carry their defining
// flattening (1/298.257223563, 1/298.3, 1/298.257), which b, rounded to
// 0.1 mm, gives only to 2e-9: formulas defined by a and f alone (Krüger's
// series) read that, and agree with other software on the same datum.
#pragma once

namespace zelk {

class Ellipsoid {
public:
    // Defined by the semi-major axis a (m) and the flattening f.
    static Ellipsoid FromFlattening(double a, double f);
    // Four given constants, stored as they are.
    static constexpr Ellipsoid FromConstants(double a, double b, double e, double ePrime) {
        return Ellipsoid(a, b, e, ePrime, (a - b) / a);
    }
    // The same with the defining flattening f besides.
    static constexpr Ellipsoid FromConstants(double a, double b, double e, double ePrime,
                                             double f) {
        return Ellipsoid(a, b, e, ePrime, f);
    }

    constexpr double a() const { return m_a; }            // semi-major axis, m
    constexpr double b() const { return m_b; }            // semi-minor axis, m
    constexpr double e() const { return m_e; }            // first eccentricity
    constexpr double ePrime() const { return m_ePrime; }  // second eccentricity
    // The defining flattening, or (a − b)/a where none was given.
    constexpr double Flattening() const { return m_f; }

private:
    constexpr Ellipsoid(double a, double b, double e, double ePrime, double f)
        : m_a(a), m_b(b), m_e(e), m_ePrime(ePrime), m_f(f) {}

    double m_a, m_b, m_e, m_ePrime, m_f;
};

}  // namespace zelk
