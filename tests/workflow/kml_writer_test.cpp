// KML output read back by an XML parser (expat): well-formed whatever the
// bytes of the names, one placemark per point, coordinates in degrees.
#include <gtest/gtest.h>

#include <expat.h>

#include <string>
#include <vector>

#include "workflow/kml_writer.h"

using namespace zelk;

namespace {

struct Placemark {
    std::string name, coordinates;
};

struct Parsed {
    bool wellFormed = false;
    std::string root, error;
    std::vector<Placemark> placemarks;
};

Parsed ParseKml(const std::string& text) {
    struct State {
        Parsed parsed;
        std::vector<std::string> open;
        std::string text;
    } state;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char**) {
            auto& s = *static_cast<State*>(data);
            if (s.open.empty()) s.parsed.root = name;
            s.open.push_back(name);
            s.text.clear();
            if (s.open.back() == "http://www.opengis.net/kml/2.2|Placemark") {
                s.parsed.placemarks.emplace_back();
            }
        },
        [](void* data, const XML_Char* name) {
            auto& s = *static_cast<State*>(data);
            const std::string element = name;
            if (!s.parsed.placemarks.empty() && s.open.size() >= 2 &&
                s.open[s.open.size() - 2].ends_with("|Placemark") && element.ends_with("|name")) {
                s.parsed.placemarks.back().name = s.text;
            }
            if (element.ends_with("|coordinates")) s.parsed.placemarks.back().coordinates = s.text;
            s.open.pop_back();
        });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
        static_cast<State*>(data)->text.append(chars, static_cast<std::size_t>(length));
    });
    state.parsed.wellFormed =
        XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    if (!state.parsed.wellFormed) state.parsed.error = XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return state.parsed;
}

TEST(KmlWriterTest, PlacemarksReadBackAsXml) {
    struct Case {
        std::string name;      // bytes given
        std::string shown;     // the name the XML parser reads
        double values[3];      // B, L packed; h
        std::string coordinates;
    };
    const std::vector<Case> cases = {
        {"K1", "K1", {39.5430123450, 116.2324, 52.3}, "116.390000000,39.908367625,52.300"},
        {"天安门", "天安门", {39.5424, 116.2328, 44.0}, "116.391111111,39.906666667,44.000"},
        {"<a&b>\"'", "<a&b>\"'", {-33.5124, -70.3930, -1.25}, "-70.658333333,-33.856666667,-1.250"},
        // GBK names become UTF-8: 点7, 北京1.
        {"\xB5\xE3" "7", "点7", {0.0, 0.0, -0.0001}, "0.000000000,0.000000000,0.000"},
        {"\xB1\xB1\xBE\xA9" "1", "北京1", {1.0, 2.0, 3.0}, "2.000000000,1.000000000,3.000"},
        {"a\\b", "a\\b", {1.0, 2.0, 3.0}, "2.000000000,1.000000000,3.000"},
        {"", "", {89.5959999999, 179.5959999999, 1e4}, "180.000000000,90.000000000,10000.000"},
    };
    std::string kml;
    pointformat::AppendKmlHeader(kml);
    for (const Case& c : cases) EXPECT_TRUE(pointformat::AppendKmlPlacemark(kml, c.name, c.values));
    // Neither UTF-8 nor GBK, or what XML 1.0 cannot hold: refused, nothing written.
    for (const std::string bad : {"a\xFF<", "x\x01y", "\xEF\xBF\xBE", "P\xB1\x7F"}) {
        const std::size_t before = kml.size();
        EXPECT_FALSE(pointformat::AppendKmlPlacemark(kml, bad, cases[0].values)) << bad;
        EXPECT_EQ(kml.size(), before);
    }
    pointformat::AppendKmlFooter(kml);
    const Parsed parsed = ParseKml(kml);
    ASSERT_TRUE(parsed.wellFormed) << parsed.error << "\n" << kml;
    EXPECT_EQ(parsed.root, "http://www.opengis.net/kml/2.2|kml");
    ASSERT_EQ(parsed.placemarks.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(parsed.placemarks[i].name, cases[i].shown) << i;
        EXPECT_EQ(parsed.placemarks[i].coordinates, cases[i].coordinates) << i;
    }
    // An empty document is a document too.
    std::string empty;
    pointformat::AppendKmlHeader(empty);
    pointformat::AppendKmlFooter(empty);
    EXPECT_TRUE(ParseKml(empty).wellFormed);
    EXPECT_TRUE(ParseKml(empty).placemarks.empty());
}

}  // namespace
