// The two rotation conventions against reference values computed by PROJ
// (tests/data/helmert_conventions.txt, made by make_helmert_conventions.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "bursa/convention.h"
#include "bursa/estimate.h"
#include "synthetic_sites.h"

namespace {

TEST(Convention, AgreesWithTheReferenceInBothConventions) {
    std::ifstream file(std::string(ZELK_TEST_DATA_DIR) + "/helmert_conventions.txt");
    ASSERT_TRUE(file) << "missing tests/data/helmert_conventions.txt";
    int count[2] = {0, 0};
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        std::string name;
        SevenParams p;
        PointRecord source, expected;
        in >> name >> p.dX0 >> p.dY0 >> p.dZ0 >> p.betaX >> p.betaY >> p.betaZ >> p.K >> source.X >>
            source.Y >> source.Z >> expected.X >> expected.Y >> expected.Z;
        ASSERT_TRUE(in) << line;
        for (char& c : name) c = c == '_' ? '-' : c;
        const auto convention = ConventionFromName(name);
        ASSERT_TRUE(convention.has_value()) << name;
        ++count[*convention == RotationConvention::PositionVector];
        const PointRecord out = ApplySevenParams(p, *convention, source);
        EXPECT_NEAR(out.X, expected.X, 0.001) << line;
        EXPECT_NEAR(out.Y, expected.Y, 0.001) << line;
        EXPECT_NEAR(out.Z, expected.Z, 0.001) << line;
    }
    EXPECT_EQ(count[0], 32);
    EXPECT_EQ(count[1], 32);
}

TEST(Convention, ConversionTurnsTheRotationsAndNothingElse) {
    const SevenParams p{1.5, -2.5, 3.5, 0.25, 0.75, -1.25, 2.0};
    const SevenParams pv =
        ConvertConvention(p, RotationConvention::CoordinateFrame, RotationConvention::PositionVector);
    EXPECT_EQ(pv.dX0, p.dX0);
    EXPECT_EQ(pv.K, p.K);
    EXPECT_EQ(pv.betaX, -0.75);
    EXPECT_EQ(pv.betaZ, -2.0);
    const SevenParams back =
        ConvertConvention(pv, RotationConvention::PositionVector, RotationConvention::CoordinateFrame);
    EXPECT_EQ(back.betaY, p.betaY);
    const SevenParams same =
        ConvertConvention(p, RotationConvention::PositionVector, RotationConvention::PositionVector);
    EXPECT_EQ(same.betaY, p.betaY);
    EXPECT_STREQ(ConventionName(RotationConvention::PositionVector), "position-vector");
    EXPECT_EQ(ConventionFromName("coordinate-frame"), RotationConvention::CoordinateFrame);
    EXPECT_FALSE(ConventionFromName("position_vector").has_value());
}

// Estimating in the position-vector convention: estimate, convert; the
// converted set applied as position-vector reproduces the targets exactly
// as the coordinate-frame estimate does.
TEST(Convention, EstimateInEitherConventionIsOneTransformation) {
    const auto source = synthetic::Field(8, 20, 41);
    const auto target = synthetic::Transformed(source, {-48.3, 61.9, 27.4, 3.7, 2.1, -1.6, 4.4});
    const BursaEstimate e = EstimateBursa(target.data(), source.data(), 8);
    ASSERT_EQ(e.status, BursaEstimate::Status::Ok);
    const SevenParams pv = ConvertConvention(e.params, RotationConvention::CoordinateFrame,
                                             RotationConvention::PositionVector);
    for (const PointRecord& s : source) {
        const PointRecord a = ApplySevenParams(e.params, RotationConvention::CoordinateFrame, s);
        const PointRecord b = ApplySevenParams(pv, RotationConvention::PositionVector, s);
        EXPECT_EQ(a.X, b.X);
        EXPECT_EQ(a.Y, b.Y);
        EXPECT_EQ(a.Z, b.Z);
    }
}

}  // namespace
