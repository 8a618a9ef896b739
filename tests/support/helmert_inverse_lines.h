// The lines of tests/data/helmert_inverse.txt (make_helmert_inverse.py),
// read once for every test that checks the inverse of a seven-parameter
// step against them: "exact" lines hold PROJ's step undone exactly (to
// nanometres), "proj-inv" lines PROJ's own +inv, whose transposed rotation
// matrix is off by up to the line's tolerance |w|²|X|.
#pragma once

#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "bursa/convention.h"
#include "bursa/seven_params.h"

struct HelmertInverseLine {
    std::string text;  // the line as written, for messages
    std::string kind;  // "exact" or "proj-inv"
    zelk::RotationConvention convention = zelk::RotationConvention::CoordinateFrame;
    zelk::SevenParams p;
    double moved[3] = {};     // the point after the step
    double expected[3] = {};  // where the inverse takes it
    double tolerance = 0;     // metres
};

// Every line of the file; an empty list when the file is missing, and a
// line that does not read is left out (the tests count the lines they get).
inline std::vector<HelmertInverseLine> HelmertInverseLines() {
    std::vector<HelmertInverseLine> lines;
    std::ifstream file(std::string(ZELK_TEST_DATA_DIR) + "/helmert_inverse.txt");
    std::string text;
    while (std::getline(file, text)) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        HelmertInverseLine l;
        std::string name;
        zelk::SevenParams& p = l.p;
        in >> l.kind >> name >> p.dX0 >> p.dY0 >> p.dZ0 >> p.betaX >> p.betaY >> p.betaZ >> p.K >>
            l.moved[0] >> l.moved[1] >> l.moved[2] >> l.expected[0] >> l.expected[1] >>
            l.expected[2] >> l.tolerance;
        if (!in || (name != "position_vector" && name != "coordinate_frame")) continue;
        l.convention = name == "position_vector" ? zelk::RotationConvention::PositionVector
                                                 : zelk::RotationConvention::CoordinateFrame;
        l.text = text;
        lines.push_back(l);
    }
    return lines;
}
