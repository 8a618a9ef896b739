// The conversion chain between the six systems the programs started with,
// against the engine's operations written out one by one, and one chain
// over many points against a chain per point. (ConvertPoint and
// CPointConverter, the original entry points over the same chain, are held
// by the adapters' table in tests/adapters.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bursa/helmert.h"
#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/geocentric.h"
#include "engine/transverse_mercator.h"
#include "named_chain.h"

using namespace zelk;

namespace {

// Beijing 1954 to WGS84 parameters of the size met in practice.
const SevenParams kParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
const SevenParams kZero{};

struct Triple {
    double a, b, c;
};

bool SameBits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

::testing::AssertionResult Identical(const Triple& got, const Triple& want) {
    if (SameBits(got.a, want.a) && SameBits(got.b, want.b) && SameBits(got.c, want.c)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::hexfloat << "got " << got.a << " " << got.b << " " << got.c << ", want "
           << want.a << " " << want.b << " " << want.c;
}

// ---- The chain written out step by step on the engine ----

enum class Form { Geodetic, Gauss, Utm, Cartesian };
struct System {
    const char* name;
    DatumId datum;
    Form form;
};
// The six systems in the order the programs have always listed them, and
// X Y Z of WGS84.
const System kSystems[7] = {
    {"wgs84-utm", DatumId::Wgs84, Form::Utm},
    {"wgs84-geodetic", DatumId::Wgs84, Form::Geodetic},
    {"beijing54-gauss", DatumId::Beijing54, Form::Gauss},
    {"beijing54-geodetic", DatumId::Beijing54, Form::Geodetic},
    {"xian80-gauss", DatumId::Xian80, Form::Gauss},
    {"xian80-geodetic", DatumId::Xian80, Form::Geodetic},
    {"wgs84-xyz", DatumId::Wgs84, Form::Cartesian},
};
constexpr int kXyz = 6;

Triple Convert(int source, int target, double sourceMeridian, double targetMeridian,
               const SevenParams& params, Triple t) {
    named::Convert(kSystems[source].name, sourceMeridian, kSystems[target].name, targetMeridian,
                   params, t.a, t.b, t.c);
    return t;
}

const Ellipsoid& Shape(DatumId datum) { return DatumOf(datum).ellipsoid; }

TransverseMercator Projection(System s) {
    return s.form == Form::Utm ? TransverseMercator::Utm(Shape(s.datum))
                               : TransverseMercator::GaussKruger(Shape(s.datum));
}

// B L (packed DMS) H -> x y H on the meridian.
Triple Project(System s, double meridian, double B, double L, double H) {
    Triple out{0.0, 0.0, H};
    Projection(s).Forward(DmsToRadian(meridian), DmsToRadian(B), DmsToRadian(L), out.a, out.b);
    return out;
}

// Point of the system -> X Y Z.
Triple ToCartesian(System s, double meridian, Triple p) {
    if (s.form == Form::Cartesian) return p;
    double B = p.a, L = p.b;
    if (s.form != Form::Geodetic) {
        Projection(s).Reverse(DmsToRadian(meridian), p.a, p.b, B, L);
        B = RadianToDms(B);
        L = RadianToDms(L);
    }
    const double b = DmsToRadian(B), l = DmsToRadian(L);
    Triple out{};
    GeodeticToCartesianBatch(Shape(s.datum), &b, &l, &p.c, &out.a, &out.b, &out.c, 1);
    return out;
}

// X Y Z -> point of the system.
Triple FromCartesian(System s, double meridian, Triple p) {
    if (s.form == Form::Cartesian) return p;
    double v[3] = {p.a, p.b, p.c};
    CartesianToGeodeticBatch(Shape(s.datum), v, 1);
    if (s.form == Form::Geodetic) return {v[0], v[1], v[2]};
    return Project(s, meridian, v[0], v[1], v[2]);
}

Triple Transform(const SevenParams& params, Triple p) {
    double internal[kBursaCount];
    ParamsToInternal(params, internal);
    const PointRecord out = ApplyBursa(internal, PointRecord{p.a, p.b, p.c});
    return {out.X, out.Y, out.Z};
}

// A place given by B, L (packed DMS) and H, as a point of each system.
struct Place {
    const char* name;
    double B, L, H;
    double gaussMeridian, utmMeridian;  // 3-degree zone, UTM zone
};
const Place kPlaces[] = {
    {"Beijing", 39.5412, 116.2324, 52.3, 117, 117},
    {"Wuhan", 30.3215, 114.1806, 23.7, 114, 117},
    {"Urumqi", 43.4811, 87.3642, 850.0, 87, 87},
    {"Sanya", 18.1508, 109.3047, 6.2, 108, 111},
};

double MeridianOf(const Place& place, System s) {
    if (s.form == Form::Utm) return place.utmMeridian;
    if (s.form == Form::Gauss) return place.gaussMeridian;
    return 0.0;
}

Triple PlaceIn(const Place& place, System s) {
    if (s.form == Form::Geodetic) return {place.B, place.L, place.H};
    if (s.form == Form::Cartesian) return ToCartesian({"", s.datum, Form::Geodetic}, 0.0, {place.B, place.L, place.H});
    return Project(s, MeridianOf(place, s), place.B, place.L, place.H);
}

double ArcSeconds(double dmsA, double dmsB) {
    return std::fabs(DmsToRadian(dmsA) - DmsToRadian(dmsB)) * 648000 / 3.14159265358979;
}

TEST(ChainTest, AllThirtySixPairsFollowTheEngineStepByStep) {
    for (const Place& place : kPlaces) {
        for (int s = 0; s < 6; ++s) {
            for (int t = 0; t < 6; ++t) {
                SCOPED_TRACE(std::string(place.name) + " " + kSystems[s].name + " -> " +
                             kSystems[t].name);
                const double sm = MeridianOf(place, kSystems[s]);
                const double tm = MeridianOf(place, kSystems[t]);
                const Triple input = PlaceIn(place, kSystems[s]);
                const Triple want = FromCartesian(
                    kSystems[t], tm, Transform(kParams, ToCartesian(kSystems[s], sm, input)));
                const Triple got = Convert(s, t, sm, tm, kParams, input);
                EXPECT_TRUE(Identical(got, want));

                // The parameters move a point by a few hundred metres at
                // most: the result lies near the same place in the target
                // system, which a wrong ellipsoid, projection or meridian
                // would not give.
                const Triple near = PlaceIn(place, kSystems[t]);
                if (kSystems[t].form == Form::Geodetic) {
                    EXPECT_LT(ArcSeconds(got.a, near.a), 12.0);
                    EXPECT_LT(ArcSeconds(got.b, near.b), 12.0);
                } else {
                    EXPECT_NEAR(got.a, near.a, 300.0);
                    EXPECT_NEAR(got.b, near.b, 300.0);
                }
                EXPECT_NEAR(got.c, near.c, 300.0);
            }
        }
    }
}

TEST(ChainTest, GeodeticSystemsIgnoreTheMeridian) {
    const Triple p{30.3215, 114.1806, 23.7};
    for (int s : {1, 3, 5}) {
        for (int t = 0; t < 6; ++t) {
            const double tm = t % 2 == 0 ? 114.0 : 0.0;
            const Triple reference = Convert(s, t, 0.0, tm, kParams, p);
            EXPECT_TRUE(Identical(Convert(s, t, 117.0, tm, kParams, p), reference));
            EXPECT_TRUE(Identical(Convert(s, t, -45.3, tm, kParams, p), reference));
        }
    }
    const Triple xy{3380000.0, 520000.0, 10.0};
    for (int t : {1, 3, 5}) {
        const Triple reference = Convert(2, t, 114.0, 0.0, kParams, xy);
        EXPECT_TRUE(Identical(Convert(2, t, 114.0, 123.0, kParams, xy), reference));
    }
}

TEST(ChainTest, ZeroParametersGeodeticToGaussIsTheProjection) {
    for (const Place& place : kPlaces) {
        const Triple projected = Project(kSystems[2], place.gaussMeridian, place.B, place.L, place.H);
        const Triple got =
            Convert(3, 2, 0.0, place.gaussMeridian, kZero, {place.B, place.L, place.H});
        // Only the passage through X Y Z and back separates the two.
        EXPECT_NEAR(got.a, projected.a, 1e-4) << place.name;
        EXPECT_NEAR(got.b, projected.b, 1e-4) << place.name;
        EXPECT_NEAR(got.c, projected.c, 1e-4) << place.name;
    }
}

TEST(ChainTest, ZeroParametersChangeTheZoneOnXian80Gauss) {
    // A point at 115.3 E between the zones of 114 and 117.
    const Triple west = Project(kSystems[4], 114.0, 31.15, 115.3, 40.0);
    const Triple east = Project(kSystems[4], 117.0, 31.15, 115.3, 40.0);
    ASSERT_GT(west.b, 500000.0);
    ASSERT_LT(east.b, 500000.0);

    const Triple got = Convert(4, 4, 114.0, 117.0, kZero, west);
    EXPECT_NEAR(got.a, east.a, 1e-3);
    EXPECT_NEAR(got.b, east.b, 1e-3);
    EXPECT_NEAR(got.c, 40.0, 1e-3);
    const Triple back = Convert(4, 4, 117.0, 114.0, kZero, got);
    EXPECT_NEAR(back.a, west.a, 1e-3);
    EXPECT_NEAR(back.b, west.b, 1e-3);
}

TEST(ChainTest, ProjectedHeightIsTheEllipsoidalHeight) {
    const Triple low = Convert(2, 3, 117.0, 0.0, kZero, {4400000.0, 450000.0, 0.0});
    const Triple high = Convert(2, 3, 117.0, 0.0, kZero, {4400000.0, 450000.0, 1234.5});
    EXPECT_NEAR(high.a, low.a, 1e-9);
    EXPECT_NEAR(high.b, low.b, 1e-9);
    EXPECT_NEAR(high.c - low.c, 1234.5, 1e-4);
}

TEST(ChainTest, EverySystemReachesTheSameCartesianEveryWay) {
    // Into X Y Z of the system's own datum, into X Y Z of WGS84 through
    // zero parameters, and step by step: the same doubles.
    const Triple geodetic{36.0412, 120.2318, 77.0};
    const Triple plane{3990000.0, 475000.0, 77.0};
    for (int s = 0; s < 6; ++s) {
        const Triple input = kSystems[s].form == Form::Geodetic ? geodetic : plane;
        Triple own = input;
        ConversionChain(named::System(kSystems[s].name, 120.0), Crs::Geocentric(kSystems[s].datum))
            .Convert(own.a, own.b, own.c);
        const Triple viaZero = Convert(s, kXyz, 120.0, 0.0, kZero, input);
        EXPECT_TRUE(Identical(own, viaZero)) << kSystems[s].name;
        EXPECT_TRUE(Identical(own, ToCartesian(kSystems[s], 120.0, input)));
    }
    // X Y Z into X Y Z of the same datum: untouched.
    Triple untouched{1.0, 2.0, 3.0};
    ConversionChain(named::System("wgs84-xyz"), named::System("wgs84-xyz"))
        .Convert(untouched.a, untouched.b, untouched.c);
    EXPECT_TRUE(Identical(untouched, {1.0, 2.0, 3.0}));
}

TEST(ChainTest, BackAndForthAppliesTheParametersTwice) {
    const Triple start{4420000.0, 440000.0, 50.0};
    const Triple there = Convert(2, 1, 117.0, 0.0, kParams, start);
    const Triple back = Convert(1, 2, 0.0, 117.0, kParams, there);
    // Roughly twice the shift, nowhere near the start.
    EXPECT_GT(std::hypot(back.a - start.a, back.b - start.b), 100.0);
    const Triple zeroThere = Convert(2, 1, 117.0, 0.0, kZero, start);
    const Triple zeroBack = Convert(1, 2, 0.0, 117.0, kZero, zeroThere);
    EXPECT_NEAR(zeroBack.a, start.a, 1e-3);
    EXPECT_NEAR(zeroBack.b, start.b, 1e-3);
}

TEST(ChainTest, CartesianToCartesianIsTheHelmertStep) {
    const Triple xyz{-2170000.0, 4380000.0, 4080000.0};
    EXPECT_TRUE(Identical(Convert(kXyz, kXyz, 0.0, 0.0, kParams, xyz), Transform(kParams, xyz)));
}

// ---- One chain for a whole file gives the doubles of a chain per point ----

TEST(OneChainTest, SameDoublesAsAChainPerPointForEveryPair) {
    std::mt19937_64 random(20240517);
    std::uniform_real_distribution<double> lat(18.0, 53.0), lon(73.0, 135.0), height(-100.0, 5000.0);
    std::uniform_real_distribution<double> offset(-3.5, 3.5);
    const SevenParams params[] = {kZero, kParams, {400.1, -250.7, 120.3, -8.25, 12.5, -9.75, 20.0}};
    for (const SevenParams& p : params) {
        for (int s = 0; s <= kXyz; ++s) {
            for (int t = 0; t <= kXyz; ++t) {
                const double sm = 117.0, tm = 114.0;
                const ConversionChain chain = named::Chain(kSystems[s].name, sm, kSystems[t].name, tm, p);
                for (int i = 0; i < 300; ++i) {
                    const double B = lat(random), L = lon(random), H = height(random);
                    Triple input{};
                    if (s == kXyz) {
                        input = ToCartesian({"", DatumId::Wgs84, Form::Geodetic}, 0.0,
                                            {RadianToDms(B * 0.0174532925199433),
                                             RadianToDms(L * 0.0174532925199433), H});
                    } else if (kSystems[s].form == Form::Geodetic) {
                        input = {RadianToDms(B * 0.0174532925199433),
                                 RadianToDms(L * 0.0174532925199433), H};
                    } else {
                        // Around the source meridian.
                        input = PlaceIn({"", RadianToDms(B * 0.0174532925199433),
                                         117.0 + offset(random), H, sm, sm},
                                        kSystems[s]);
                    }
                    const Triple want = Convert(s, t, sm, tm, p, input);
                    Triple got = input;
                    chain.Convert(got.a, got.b, got.c);
                    ASSERT_TRUE(Identical(got, want)) << s << " -> " << t << " point " << i;
                }
            }
        }
    }
}

TEST(OneChainTest, ManyAtOnceGiveTheSameDoublesAsOneByOne) {
    std::mt19937_64 random(77);
    std::uniform_real_distribution<double> lat(18.0, 53.0), lon(73.0, 135.0), height(-100.0, 5000.0);
    // Up to 9 degrees from the meridian, where the higher terms of the
    // projection series weigh more.
    std::uniform_real_distribution<double> offset(-9.0, 9.0);
    for (int s = 0; s <= kXyz; ++s) {
        for (int t = 0; t <= kXyz; ++t) {
            const ConversionChain chain = named::Chain(kSystems[s].name, 117.0, kSystems[t].name, 111.0, kParams);
            for (std::size_t count : {0u, 1u, 3u, 4u, 5u, 64u, 203u, 1000u}) {
                std::vector<double> values;
                for (std::size_t i = 0; i < count; ++i) {
                    const double B = RadianToDms(lat(random) * 0.0174532925199433);
                    Triple p{B, RadianToDms(lon(random) * 0.0174532925199433), height(random)};
                    if (s != kXyz && kSystems[s].form != Form::Geodetic) {
                        p = PlaceIn({"", B, 117.0 + offset(random), p.c, 117.0, 117.0}, kSystems[s]);
                    } else if (s == kXyz) {
                        p = ToCartesian({"", DatumId::Xian80, Form::Geodetic}, 0.0, p);
                    }
                    values.insert(values.end(), {p.a, p.b, p.c});
                }
                if (count == 203) {  // odd points among them
                    values[3] = 0.0;
                    values[4] = 0.0;
                    values[5] = 0.0;
                    values[30] = NAN;
                    values[61] = INFINITY;
                    values[99] = -values[99];
                }
                std::vector<double> many = values;
                std::vector<PointProblem> problems(count);
                chain.Convert(many.data(), problems.data(), count);
                for (std::size_t i = 0; i < count; ++i) {
                    const Triple want = Convert(s, t, 117.0, 111.0, kParams,
                                                {values[3 * i], values[3 * i + 1], values[3 * i + 2]});
                    ASSERT_TRUE(Identical({many[3 * i], many[3 * i + 1], many[3 * i + 2]}, want))
                        << s << " -> " << t << " point " << i << " of " << count;
                }
            }
        }
    }
}

TEST(OneChainTest, OddInputsGiveTheSameBitsToo) {
    const Triple odd[] = {
        {0.0, 0.0, 0.0},        {0.0, 500000.0, 0.0}, {1e7, -1e7, 1e5},
        {-30.3, -114.3, -50.0}, {89.5959, 179.5959, 0.0}, {NAN, 1.0, 2.0},
        {INFINITY, 3e6, 0.0},   {1e-300, 5e5, 1.0},
    };
    for (int s = 0; s < 6; ++s) {
        for (int t = 0; t < 6; ++t) {
            const ConversionChain chain = named::Chain(kSystems[s].name, 117.0, kSystems[t].name, 111.0, kParams);
            for (const Triple& input : odd) {
                Triple got = input;
                chain.Convert(got.a, got.b, got.c);
                EXPECT_TRUE(Identical(got, Convert(s, t, 117.0, 111.0, kParams, input)))
                    << s << " -> " << t;
            }
        }
    }
}

}  // namespace
