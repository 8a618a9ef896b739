// Points, files and GDAL look-ups shared by the tests of the gis library.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gis/point_reader.h"
#include "gis/point_writer.h"
#include "temp_folder.h"

using namespace zelk;

struct TestPoint {
    std::string name;
    std::array<double, 3> values;
};

// n points with Chinese names (UTF-8), in the axes given: plane values in
// CGCS2000 Gauss-Kruger 117°E around Beijing with 3 decimals, geodetic ones
// in degrees with 9 decimals, geocentric ones in metres.
inline std::vector<TestPoint> ChinesePoints(zelk::gis::Axes axes, int n = 50) {
    static const char* const kStems[] = {"北京", "测站", "控制点", "导线", "水准"};
    std::vector<TestPoint> points;
    for (int i = 0; i < n; ++i) {
        TestPoint p;
        p.name = std::string(kStems[i % 5]) + std::to_string(i + 1);
        switch (axes) {
            case zelk::gis::Axes::Plane:
                p.values = {4417321.456 + 123.457 * i, 441234.567 + 98.765 * i, 43.210 + 0.111 * i};
                break;
            case zelk::gis::Axes::Geodetic:
                p.values = {39.908369986 + 0.000123457 * i, 116.397128512 + 0.000234561 * i,
                            51.789 + 0.013 * i};
                break;
            case zelk::gis::Axes::Geocentric:
                p.values = {-2178823.123 + 11.1 * i, 4388312.456 - 7.7 * i, 4069855.789 + 3.3 * i};
                break;
        }
        points.push_back(p);
    }
    return points;
}

// Writes points; the test fails (and the output is abandoned) on any problem.
inline bool WritePoints(const std::filesystem::path& target, zelk::gis::Format format,
                        zelk::gis::Axes axes, const zelk::gis::SpatialReference& srs,
                        const std::vector<TestPoint>& points) {
    zelk::gis::PointWriter writer;
    if (!writer.Open(target, format, axes, srs)) {
        ADD_FAILURE() << writer.Message();
        return false;
    }
    for (const TestPoint& p : points) {
        if (!writer.Write(p.name, p.values.data())) {
            ADD_FAILURE() << writer.Message();
            return false;
        }
    }
    if (!writer.Commit()) {
        ADD_FAILURE() << writer.Message();
        return false;
    }
    return true;
}

struct ReadOutcome {
    bool opened = false;
    std::vector<zelk::gis::PointRecord> records;
    bool problem = false;
    std::string message;
};

inline ReadOutcome ReadPoints(const std::filesystem::path& file, zelk::gis::Format format,
                              zelk::gis::Axes axes, const zelk::gis::ReaderOptions& options = {}) {
    ReadOutcome outcome;
    zelk::gis::PointReader reader;
    outcome.opened = reader.Open(file, format, axes, options);
    if (!outcome.opened) {
        outcome.message = reader.Message();
        return outcome;
    }
    for (;;) {
        zelk::gis::PointRecord record;
        const auto result = reader.Next(record);
        if (result == zelk::gis::PointReader::Result::End) break;
        if (result == zelk::gis::PointReader::Result::Problem) {
            outcome.problem = true;
            outcome.message = reader.Message();
            break;
        }
        outcome.records.push_back(record);
    }
    return outcome;
}
