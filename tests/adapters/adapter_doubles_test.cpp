// The original program's entry points give every double they always gave:
// each line of tests/data/adapter_doubles.txt (written by
// make_adapter_doubles.cpp against the version before the model took them
// over) is run again through today's adapters and compared bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "adapters/bursa_model.h"
#include "adapters/conversion.h"
#include "adapters/ellipsoid.h"
#include "adapters/point_converter.h"

using namespace zelk;

namespace {

double FromBits(const std::string& hex) {
    const std::uint64_t bits = std::stoull(hex, nullptr, 16);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::unique_ptr<CEllipsoid> Datum(const std::string& name) {
    if (name == "wgs84") return std::make_unique<CWgs84>();
    if (name == "beijing54") return std::make_unique<CBeijing54>();
    return std::make_unique<CXian80>();
}

using Args = std::vector<double>;
using Entry = std::function<Args(const std::string& datum, const Args& in)>;

SevenParams ParamsAt(const Args& in, std::size_t i) {
    return SevenParams{in[i], in[i + 1], in[i + 2], in[i + 3], in[i + 4], in[i + 5], in[i + 6]};
}

const std::map<std::string, Entry>& Entries() {
    static const std::map<std::string, Entry> entries = {
        {"GeodeticToCartesian",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetGeodetic(in[0], in[1], in[2]);
             double X, Y, Z;
             e->GeodeticToCartesian(X, Y, Z);
             return Args{X, Y, Z};
         }},
        {"CartesianToGeodetic",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetCartesian(in[0], in[1], in[2]);
             double B, L, H;
             e->CartesianToGeodetic(B, L, H);
             return Args{B, L, H};
         }},
        {"GaussForward",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetCentralMeridian(in[0]);
             e->SetGeodetic(in[1], in[2], in[3]);
             double x, y, h;
             e->GaussForward(x, y, h);
             return Args{x, y, h};
         }},
        {"UtmForward",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetCentralMeridian(in[0]);
             e->SetGeodetic(in[1], in[2], in[3]);
             double x, y, h;
             e->UtmForward(x, y, h);
             return Args{x, y, h};
         }},
        {"GaussInverse",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetCentralMeridian(in[0]);
             e->SetPlane(in[1], in[2], in[3]);
             double B, L, H;
             e->GaussInverse(B, L, H);
             return Args{B, L, H};
         }},
        {"UtmInverse",
         [](const std::string& d, const Args& in) {
             auto e = Datum(d);
             e->SetCentralMeridian(in[0]);
             e->SetPlane(in[1], in[2], in[3]);
             double B, L, H;
             e->UtmInverse(B, L, H);
             return Args{B, L, H};
         }},
        {"CBursaModel.Apply",
         [](const std::string&, const Args& in) {
             CBursaModel model;
             model.SetParams(ParamsAt(in, 0));
             model.SetInput(PointRecord{in[7], in[8], in[9]});
             PointRecord out;
             model.Apply(out);
             return Args{out.X, out.Y, out.Z};
         }},
        {"ConvertPoint",
         [](const std::string&, const Args& in) {
             double a = in[11], b = in[12], c = in[13];
             ConvertPoint(static_cast<int>(in[0]), static_cast<int>(in[1]), in[2], in[3], ParamsAt(in, 4),
                          a, b, c);
             return Args{a, b, c};
         }},
        {"SystemToCartesian",
         [](const std::string&, const Args& in) {
             double a = in[2], b = in[3], c = in[4];
             SystemToCartesian(SystemFromMainList(static_cast<int>(in[0])), in[1], a, b, c);
             return Args{a, b, c};
         }},
        {"CartesianToSystem",
         [](const std::string&, const Args& in) {
             double a = in[2], b = in[3], c = in[4];
             CartesianToSystem(SystemFromMainList(static_cast<int>(in[0])), in[1], a, b, c);
             return Args{a, b, c};
         }},
        {"PointToCartesian",
         [](const std::string&, const Args& in) {
             double a = in[2], b = in[3], c = in[4];
             PointToCartesian(static_cast<int>(in[0]), in[1], a, b, c);
             return Args{a, b, c};
         }},
        {"CPointConverter",
         [](const std::string&, const Args& in) {
             CPointConverter converter(2, 1, in[0], 0.0, ParamsAt(in, 1));
             double v[3] = {in[8], in[9], in[10]};
             converter.ConvertMany(v, 1);
             double a = in[8], b = in[9], c = in[10];
             converter.Convert(a, b, c);
             // One at a time and many at a time alike.
             const double one[3] = {a, b, c};
            EXPECT_EQ(std::memcmp(v, one, sizeof v), 0);
             return Args{a, b, c};
         }},
    };
    return entries;
}

TEST(AdapterDoubles, EveryEntryPointGivesTheDoublesItAlwaysGave) {
    std::ifstream table(ZELK_TEST_DATA_DIR "/adapter_doubles.txt");
    ASSERT_TRUE(table) << "tests/data/adapter_doubles.txt";
    std::map<std::string, int> checked;
    std::string line;
    int number = 0;
    while (std::getline(table, line)) {
        ++number;
        std::istringstream words(line);
        std::string name, word;
        words >> name;
        Args in, want;
        bool results = false;
        while (words >> word) {
            if (word == "->") {
                results = true;
                continue;
            }
            (results ? want : in).push_back(FromBits(word));
        }
        // "beijing54.GaussForward": the datum, then the entry.
        const std::size_t dot = name.find('.');
        const bool datumEntry = dot != std::string::npos && name.rfind("CBursaModel", 0) != 0;
        const std::string datum = datumEntry ? name.substr(0, dot) : "";
        const std::string entry = datumEntry ? name.substr(dot + 1) : name;
        const auto found = Entries().find(entry);
        ASSERT_NE(found, Entries().end()) << "line " << number << ": " << name;
        const Args got = found->second(datum, in);
        ASSERT_EQ(got.size(), want.size()) << "line " << number;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(double)), 0)
                << "line " << number << " (" << name << ") result " << i << ": " << got[i] << " != " << want[i];
        }
        ++checked[entry];
    }
    // Every entry point of the table was reached.
    EXPECT_EQ(checked.size(), Entries().size());
    EXPECT_GT(number, 1500);
}

}  // namespace
