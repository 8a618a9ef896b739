// The two rotation conventions against reference values computed by PROJ
// (tests/data/helmert_conventions.txt, made by make_helmert_conventions.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "bursa/convention.h"

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
}  // namespace
