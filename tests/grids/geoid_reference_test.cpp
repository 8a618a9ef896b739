// Every line of tests/data/geoid_reference.txt (PROJ vgridshift's
// undulations, from make_geoid_grids.py) against the grids of
// tests/data/geoid/ and EGM96 by name.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "grids/geoid_grid.h"
#include "platform/number_text.h"

using namespace zelk;

using zelk::grids::GeoidGrid;
using zelk::grids::Sample;

namespace {

struct ReferenceLine {
    int number;
    std::string grid;
    double latitude, longitude;
    std::string expected;  // a number, "outside" or "nodata"
    double tolerance;
};

std::vector<ReferenceLine> ReadReference() {
    std::ifstream file(ZELK_TEST_DATA_DIR "/geoid_reference.txt");
    EXPECT_TRUE(file) << "geoid_reference.txt";
    std::vector<ReferenceLine> lines;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        ReferenceLine line{number, {}, 0, 0, {}, 0};
        std::string latitude, longitude, tolerance;
        in >> line.grid >> latitude >> longitude >> line.expected >> tolerance;
        const auto lat = ParseDecimal(latitude), lon = ParseDecimal(longitude), tol = ParseDecimal(tolerance);
        EXPECT_TRUE(lat && lon && tol) << "geoid_reference.txt line " << number;
        line.latitude = lat.value_or(0);
        line.longitude = lon.value_or(0);
        line.tolerance = tol.value_or(0);
        lines.push_back(line);
    }
    return lines;
}

// Checks the lines of the grids accept() takes; the worst difference from
// PROJ per grid is printed.
void CheckLines(const std::vector<ReferenceLine>& lines, bool egm96) {
    std::map<std::string, std::unique_ptr<GeoidGrid>> grids;
    std::map<std::string, double> worst;
    int checked = 0;
    for (const ReferenceLine& line : lines) {
        if ((line.grid == "egm96") != egm96) continue;
        SCOPED_TRACE("geoid_reference.txt line " + std::to_string(line.number) + ": " + line.grid);
        std::unique_ptr<GeoidGrid>& grid = grids[line.grid];
        if (!grid) {
            std::string error;
            grid = egm96 ? zelk::grids::OpenModel("egm96", error)
                         : GeoidGrid::Open(ZELK_TEST_DATA_DIR "/geoid/" + line.grid, error);
            ASSERT_TRUE(grid) << error;
        }
        double N = -12345.0;
        const Sample sample = grid->Lookup(line.latitude, line.longitude, N);
        if (line.expected == "outside") {
            EXPECT_EQ(sample, Sample::Outside);
            EXPECT_EQ(N, -12345.0);  // untouched
        } else if (line.expected == "nodata") {
            EXPECT_EQ(sample, Sample::NoData);
            EXPECT_FALSE(grid->Undulation(line.latitude, line.longitude, N));
        } else {
            ASSERT_EQ(sample, Sample::Ok);
            const double expected = ParseDecimal(line.expected).value_or(NAN);
            EXPECT_NEAR(N, expected, line.tolerance);
            worst[line.grid] = std::max(worst[line.grid], std::fabs(N - expected));
        }
        ++checked;
    }
    EXPECT_GT(checked, egm96 ? 40 : 500);
    for (const auto& [name, difference] : worst) {
        std::cout << "    " << name << ": worst difference from PROJ " << FormatGeneral(difference, 3)
                  << " m\n";
    }
}

TEST(GeoidReference, EveryGridFileAgreesWithProj) { CheckLines(ReadReference(), false); }

TEST(GeoidReference, Egm96ByNameAgreesWithProj) {
    std::string error;
    if (zelk::grids::FindNamedModel("egm96", zelk::grids::ModelFolders(), error).empty()) {
        GTEST_SKIP() << "EGM96 is not installed: " << error;
    }
    CheckLines(ReadReference(), true);
}

}  // namespace
