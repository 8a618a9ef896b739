// The two rotation conventions against reference values computed by PROJ
// (tests/data/helmert_conventions.txt, made by make_helmert_conventions.sh).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "bursa/helmert.h"
#include "bursa/convention.h"
#include "helmert_inverse_lines.h"

using namespace zelk;

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
    EXPECT_FALSE(ConventionFromName("position_vector").has_value());
}
double Distance(const PointRecord& a, const PointRecord& b) {
    return std::sqrt((a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y) +
                     (a.Z - b.Z) * (a.Z - b.Z));
}

// tests/data/helmert_inverse.txt (make_helmert_inverse.py): the exact
// inverse of PROJ's step in both conventions, and PROJ's own +inv, whose
// transposed matrix is off by up to |w|²|X|.
TEST(Convention, InverseAgainstTheReference) {
    int count = 0;
    double worstExact = 0;
    std::map<double, double> worstProjInv;  // by |w|, arc-seconds
    for (const HelmertInverseLine& l : HelmertInverseLines()) {
        const SevenParams& p = l.p;
        const PointRecord target{l.moved[0], l.moved[1], l.moved[2]};
        const PointRecord expected{l.expected[0], l.expected[1], l.expected[2]};
        const double d = Distance(ApplySevenParamsInverse(p, l.convention, target), expected);
        EXPECT_LE(d, l.tolerance) << l.text;
        const double w = std::sqrt(p.betaX * p.betaX + p.betaY * p.betaY + p.betaZ * p.betaZ);
        double& worst = l.kind == "exact" ? worstExact : worstProjInv[w];
        worst = std::fmax(worst, d);
        ++count;
    }
    EXPECT_EQ(count, 96);
    std::printf("inverse: worst against the exact reference %.2e m\n", worstExact);
    for (const auto& [w, worst] : worstProjInv) {
        std::printf("inverse: rotations of %5.2f\": worst against PROJ +inv %.2e m\n", w, worst);
    }
}

// The inverse undoes the step to nanometres for any parameters a datum
// change has; the negated parameters do not, by |w|²|X| (0.75 m here).
TEST(Convention, InverseUndoesTheStep) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> metres(-200, 200), seconds(-60, 60), ppm(-20, 20),
        coordinate(-6.4e6, 6.4e6);
    for (int i = 0; i < 10000; ++i) {
        const SevenParams p{metres(random),  metres(random),  metres(random), ppm(random),
                            seconds(random), seconds(random), seconds(random)};
        double internal[kBursaCount];
        ParamsToInternal(p, internal);
        const PointRecord point{coordinate(random), coordinate(random), coordinate(random)};
        EXPECT_LT(Distance(ApplyBursa(internal, ApplyBursaInverse(internal, point)), point), 5e-9);
        EXPECT_LT(Distance(ApplyBursaInverse(internal, ApplyBursa(internal, point)), point), 5e-9);
    }
    const SevenParams large{100.0, -50.0, 25.0, -5.0, 30.0, -40.0, 50.0};
    const SevenParams negated{-100.0, 50.0, -25.0, 5.0, -30.0, 40.0, -50.0};
    const PointRecord point{-2178657.082725, 4388876.233551, 4069505.747982};
    const auto cf = RotationConvention::CoordinateFrame;
    const PointRecord moved = ApplySevenParams(large, cf, point);
    EXPECT_LT(Distance(ApplySevenParamsInverse(large, cf, moved), point), 1e-8);
    EXPECT_GT(Distance(ApplySevenParams(negated, cf, moved), point), 0.7);
}

}  // namespace
