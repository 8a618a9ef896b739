// The original program's entry points give every double and every text they
// always gave: each line of tests/data/adapter_doubles.txt (written by
// make_adapter_doubles.cpp against the version before the model took them
// over) is run again through today's adapters and compared, doubles bit for
// bit. This is the only test that reaches the adapters: it holds what only
// they do (the ellipsoid objects' fields, Estimate's codes and the message
// it shows, the list orders, the list-index file conversion and
// common-point reader, many points at a time); the tests of the engine, the
// Helmert step and the chain check the model itself.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "adapters/bursa_model.h"
#include "adapters/conversion.h"
#include "adapters/ellipsoid.h"
#include "adapters/point_converter.h"
#include "platform/message_box.h"
#include "adapter_files.h"

using namespace zelk;
using namespace zelk::adaptertable;

// The three classes share one virtual base, which callers delete through.
static_assert(std::has_virtual_destructor_v<CEllipsoid>);
static_assert(std::is_base_of_v<CEllipsoid, CWgs84>);
static_assert(std::is_base_of_v<CEllipsoid, CBeijing54>);
static_assert(std::is_base_of_v<CEllipsoid, CXian80>);

namespace {

// One argument or result: a double, or a text (written ' and its bytes,
// %XX for a byte outside ! to ~ and for %).
struct Value {
    bool isText = false;
    double number = 0.0;
    std::string text;
};
using Values = std::vector<Value>;

Value Num(double v) { return Value{false, v, {}}; }
Value Text(std::string t) { return Value{true, 0.0, std::move(t)}; }

Value Parse(const std::string& word) {
    if (word[0] == '\'') {
        std::string text;
        for (std::size_t i = 1; i < word.size(); ++i) {
            if (word[i] == '%' && i + 2 < word.size()) {
                text += static_cast<char>(std::stoi(word.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                text += word[i];
            }
        }
        return Text(text);
    }
    const std::uint64_t bits = std::stoull(word, nullptr, 16);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return Num(v);
}

std::string Show(const Value& v) {
    if (v.isText) return "'" + v.text + "'";
    std::ostringstream out;
    out << std::hexfloat << v.number;
    return out.str();
}

bool Same(const Value& a, const Value& b) {
    if (a.isText != b.isText) return false;
    return a.isText ? a.text == b.text : std::memcmp(&a.number, &b.number, sizeof(double)) == 0;
}

std::unique_ptr<CEllipsoid> Datum(const std::string& name) {
    if (name == "wgs84") return std::make_unique<CWgs84>();
    if (name == "beijing54") return std::make_unique<CBeijing54>();
    return std::make_unique<CXian80>();
}

// The arguments' doubles from i on.
struct Reader {
    const Values& in;
    std::size_t i = 0;
    double Next() { return in.at(i++).number; }
    int Int() { return static_cast<int>(Next()); }
    const std::string& Txt() { return in.at(i++).text; }
    SevenParams Params() {
        SevenParams p;
        for (double* v : {&p.dX0, &p.dY0, &p.dZ0, &p.K, &p.betaX, &p.betaY, &p.betaZ}) *v = Next();
        return p;
    }
};

void Append(Values& out, std::initializer_list<double> values) {
    for (double v : values) out.push_back(Num(v));
}
void Append(Values& out, const SevenParams& p) {
    Append(out, {p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ});
}


// Records what Estimate shows, and whether the result was still untouched
// while it was shown.
class Shown final : public IMessageService {
public:
    explicit Shown(const SevenParams* out) : m_out(out), m_previous(SetMessageService(this)) {}
    ~Shown() override { SetMessageService(m_previous); }
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
        messages.push_back({icon == MessageIcon::Warning ? "Warning" : "Error", caption, text});
        untouchedWhileShown = untouchedWhileShown && m_out->dX0 == -7.0 && m_out->betaZ == -7.0;
    }
    std::vector<std::array<std::string, 3>> messages;
    bool untouchedWhileShown = true;

private:
    const SevenParams* m_out;
    IMessageService* m_previous;
};

// One computation on an object loaded through all four setters, its
// results written into the variables given to the setters (see
// make_adapter_doubles.cpp): the results and the sixteen fields afterwards.
Values OnFields(const std::string& datum, const std::string& computation, const Values& in) {
    Reader r{in};
    double L0 = r.Next(), B = r.Next(), L = r.Next(), H = r.Next(), x = r.Next(), y = r.Next(),
           h = r.Next(), X = r.Next(), Y = r.Next(), Z = r.Next();
    auto object = Datum(datum);
    CEllipsoid& e = *object;  // through the base
    e.SetCentralMeridian(L0);
    const bool forward = computation == "GeodeticToCartesian" || computation == "GaussForward" ||
                         computation == "UtmForward";
    if (forward) {
        e.SetPlane(x, y, h);
        e.SetCartesian(X, Y, Z);
        e.SetGeodetic(B, L, H);
    } else {
        e.SetGeodetic(B, L, H);
        e.SetCartesian(X, Y, Z);
        e.SetPlane(x, y, h);
    }
    Values out;
    if (computation == "GeodeticToCartesian") {
        e.GeodeticToCartesian(B, L, H);
        Append(out, {B, L, H});
    } else if (computation == "CartesianToGeodetic") {
        e.CartesianToGeodetic(X, Y, Z);
        Append(out, {X, Y, Z});
    } else if (computation == "GaussForward") {
        e.GaussForward(B, L, H);
        Append(out, {B, L, H});
    } else if (computation == "UtmForward") {
        e.UtmForward(B, L, H);
        Append(out, {B, L, H});
    } else if (computation == "GaussInverse") {
        e.GaussInverse(x, y, h);
        Append(out, {x, y, h});
    } else {
        e.UtmInverse(x, y, h);
        Append(out, {x, y, h});
    }
    Append(out, {e.m_a, e.m_b, e.m_e, e.m_L0, e.m_B, e.m_L, e.m_X, e.m_Y, e.m_Z, e.m_x, e.m_y, e.m_H,
                 e.m_ePrime, e.m_k0, e.m_falseNorthing, e.m_falseEasting});
    return out;
}

using Entry = std::function<Values(const std::string& datum, const Values& in)>;

// A computation of an ellipsoid object: a setter, then the computation.
Entry Computation(void (CEllipsoid::*set)(double, double, double),
                  void (CEllipsoid::*compute)(double&, double&, double&), bool meridian) {
    return [=](const std::string& d, const Values& in) {
        Reader r{in};
        auto e = Datum(d);
        if (meridian) e->SetCentralMeridian(r.Next());
        const double a = r.Next(), b = r.Next(), c = r.Next();
        ((*e).*set)(a, b, c);
        double u, v, w;
        ((*e).*compute)(u, v, w);
        Values out;
        Append(out, {u, v, w});
        return out;
    };
}

const std::map<std::string, Entry>& Entries() {
    static const std::map<std::string, Entry> entries = {
        {"GeodeticToCartesian",
         [](const std::string& d, const Values& in) {
             Reader r{in};
             auto e = Datum(d);
             const double B = r.Next(), L = r.Next(), H = r.Next();
             e->SetGeodetic(B, L, H);
             double X, Y, Z;
             e->GeodeticToCartesian(X, Y, Z);
             Values out;
             Append(out, {X, Y, Z});
             return out;
         }},
        {"CartesianToGeodetic",
         [](const std::string& d, const Values& in) {
             Reader r{in};
             auto e = Datum(d);
             const double X = r.Next(), Y = r.Next(), Z = r.Next();
             e->SetCartesian(X, Y, Z);
             double B, L, H;
             e->CartesianToGeodetic(B, L, H);
             Values out;
             Append(out, {B, L, H});
             return out;
         }},
        {"GaussForward", Computation(&CEllipsoid::SetGeodetic, &CEllipsoid::GaussForward, true)},
        {"UtmForward", Computation(&CEllipsoid::SetGeodetic, &CEllipsoid::UtmForward, true)},
        {"GaussInverse", Computation(&CEllipsoid::SetPlane, &CEllipsoid::GaussInverse, true)},
        {"UtmInverse", Computation(&CEllipsoid::SetPlane, &CEllipsoid::UtmInverse, true)},
        {"Fields.GeodeticToCartesian",
         [](const std::string& d, const Values& in) { return OnFields(d, "GeodeticToCartesian", in); }},
        {"Fields.CartesianToGeodetic",
         [](const std::string& d, const Values& in) { return OnFields(d, "CartesianToGeodetic", in); }},
        {"Fields.GaussForward",
         [](const std::string& d, const Values& in) { return OnFields(d, "GaussForward", in); }},
        {"Fields.GaussInverse",
         [](const std::string& d, const Values& in) { return OnFields(d, "GaussInverse", in); }},
        {"Fields.UtmForward",
         [](const std::string& d, const Values& in) { return OnFields(d, "UtmForward", in); }},
        {"Fields.UtmInverse",
         [](const std::string& d, const Values& in) { return OnFields(d, "UtmInverse", in); }},
        {"CBursaModel.Apply",
         [](const std::string&, const Values& in) {
             Reader r{in};
             CBursaModel model;
             model.SetParams(r.Params());
             const double X = r.Next(), Y = r.Next(), Z = r.Next();
             model.SetInput(PointRecord{X, Y, Z});
             PointRecord out;
             model.Apply(out);
             // Apply changes neither the input nor the parameters.
             PointRecord again;
             model.Apply(again);
             EXPECT_EQ(std::memcmp(&out, &again, sizeof out), 0);
             Values result;
             Append(result, {out.X, out.Y, out.Z});
             return result;
         }},
        {"Estimate",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int n = r.Int();
             const std::size_t given = static_cast<std::size_t>(r.Int());
             std::vector<PointRecord> target(given), source(given);
             for (std::size_t i = 0; i < given; ++i) {
                 target[i] = {r.Next(), r.Next(), r.Next()};
                 source[i] = {r.Next(), r.Next(), r.Next()};
             }
             SetApplicationName("zelk");
             SevenParams estimate{-7, -7, -7, -7, -7, -7, -7};
             Shown shown(&estimate);
             CBursaModel model;
             const int code = model.Estimate(target.data(), source.data(), n, estimate);
             Values out;
             Append(out, {static_cast<double>(code)});
             Append(out, estimate);
             Append(out, {shown.untouchedWhileShown ? 1.0 : 0.0});
             for (int j = 0; j < kBursaCount; ++j) Append(out, {model.Internal()[j]});
             Append(out, {static_cast<double>(shown.messages.size())});
             for (const auto& m : shown.messages) {
                 for (const std::string& t : m) out.push_back(Text(t));
             }
             return out;
         }},
        {"ConvertPoint",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int source = r.Int(), target = r.Int();
             const double sm = r.Next(), tm = r.Next();
             const SevenParams p = r.Params();
             double a = r.Next(), b = r.Next(), c = r.Next();
             ConvertPoint(source, target, sm, tm, p, a, b, c);
             Values out;
             Append(out, {a, b, c});
             return out;
         }},
        {"SystemToCartesian",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int index = r.Int();
             const double meridian = r.Next();
             double a = r.Next(), b = r.Next(), c = r.Next();
             SystemToCartesian(SystemFromMainList(index), meridian, a, b, c);
             Values out;
             Append(out, {a, b, c});
             return out;
         }},
        {"CartesianToSystem",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int index = r.Int();
             const double meridian = r.Next();
             double a = r.Next(), b = r.Next(), c = r.Next();
             CartesianToSystem(SystemFromMainList(index), meridian, a, b, c);
             Values out;
             Append(out, {a, b, c});
             return out;
         }},
        {"PointToCartesian",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int index = r.Int();
             const double meridian = r.Next();
             double a = r.Next(), b = r.Next(), c = r.Next();
             PointToCartesian(index, meridian, a, b, c);
             Values out;
             Append(out, {a, b, c});
             return out;
         }},
        {"CPointConverter",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const double meridian = r.Next();
             CPointConverter converter(2, 1, meridian, 0.0, r.Params());
             double v[3] = {r.Next(), r.Next(), r.Next()};
             double a = v[0], b = v[1], c = v[2];
             converter.ConvertMany(v, 1);
             converter.Convert(a, b, c);
             // One at a time and many at a time alike.
             const double one[3] = {a, b, c};
             EXPECT_EQ(std::memcmp(v, one, sizeof v), 0);
             Values out;
             Append(out, {a, b, c});
             return out;
         }},
        {"CPointConverterMany",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int source = r.Int(), target = r.Int();
             const double sm = r.Next(), tm = r.Next();
             CPointConverter converter(source, target, sm, tm, r.Params());
             std::vector<double> many;
             while (r.i < in.size()) many.push_back(r.Next());
             std::vector<double> one = many;
             converter.ConvertMany(many.data(), many.size() / 3);
             for (std::size_t k = 0; k + 2 < one.size(); k += 3) converter.Convert(one[k], one[k + 1], one[k + 2]);
             // Many at a time give the doubles of one at a time.
             EXPECT_EQ(std::memcmp(many.data(), one.data(), many.size() * sizeof(double)), 0);
             Values out;
             for (double v : many) Append(out, {v});
             return out;
         }},
        {"MainList",
         [](const std::string&, const Values& in) {
             const int index = static_cast<int>(in.at(0).number);
             const CoordinateSystem system = SystemFromMainList(index);
             Values out;
             Append(out, {static_cast<double>(system), IsProjected(system) ? 1.0 : 0.0});
             out.push_back(Text(MainListLabel(index)));
             return out;
         }},
        {"ParamList",
         [](const std::string&, const Values& in) {
             const int index = static_cast<int>(in.at(0).number);
             const CoordinateSystem system = SystemFromParamList(index);
             Values out;
             Append(out, {static_cast<double>(system), IsProjected(system) ? 1.0 : 0.0});
             out.push_back(Text(ParamListLabel(index)));
             return out;
         }},
        {"ReadCommonPoints",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const int beforeSystem = r.Int(), afterSystem = r.Int();
             const double beforeMeridian = r.Next(), afterMeridian = r.Next();
             std::FILE* b = FileOf(r.Txt());
             std::FILE* a = FileOf(r.Txt());
             std::vector<PointRecord> before, after;
             const CommonPointsResult result = ReadCommonPoints(
                 b, a, beforeSystem, afterSystem, beforeMeridian, afterMeridian, before, after);
             std::fclose(b);
             std::fclose(a);
             Values out;
             out.push_back(Text(StatusName(result.status)));
             Append(out, {result.inAfterFile ? 1.0 : 0.0, static_cast<double>(result.line)});
             out.push_back(Text(result.token));
             Append(out, {static_cast<double>(before.size())});
             for (const PointRecord& p : before) Append(out, {p.X, p.Y, p.Z});
             for (const PointRecord& p : after) Append(out, {p.X, p.Y, p.Z});
             return out;
         }},
        {"ConvertPointFile",
         [](const std::string&, const Values& in) {
             Reader r{in};
             const bool withNames = r.Next() != 0.0;
             const int source = r.Int(), target = r.Int();
             const double sm = r.Next(), tm = r.Next();
             const SevenParams p = r.Params();
             std::FILE* input = FileOf(r.Txt());
             std::FILE* output = std::tmpfile();
             FileConversionOptions options;
             options.threads = 1;
             const FileConversionResult result =
                 ConvertPointFile(input, output, withNames, source, target, sm, tm, p, options);
             const std::string written = Contents(output);
             std::fclose(input);
             std::fclose(output);
             Values out;
             out.push_back(Text(StatusName(result.status)));
             Append(out, {static_cast<double>(result.line)});
             out.push_back(Text(result.token));
             Append(out, {static_cast<double>(result.points)});
             out.push_back(Text(written));
             return out;
         }},
    };
    return entries;
}

TEST(AdapterDoubles, EveryEntryPointGivesTheDoublesItAlwaysGave) {
    std::ifstream table(ZELK_TEST_DATA_DIR "/adapter_doubles.txt", std::ios::binary);
    ASSERT_TRUE(table) << "tests/data/adapter_doubles.txt";
    std::map<std::string, int> checked;
    std::string line;
    int number = 0;
    while (std::getline(table, line)) {
        ++number;
        std::istringstream words(line);
        std::string name, word;
        words >> name;
        Values in, want;
        bool results = false;
        while (words >> word) {
            if (word == "->") {
                results = true;
                continue;
            }
            (results ? want : in).push_back(Parse(word));
        }
        // "beijing54.GaussForward", "xian80.Fields.UtmInverse": the datum,
        // then the entry.
        const std::size_t dot = name.find('.');
        const std::string prefix = dot == std::string::npos ? "" : name.substr(0, dot);
        const bool datumEntry = prefix == "wgs84" || prefix == "beijing54" || prefix == "xian80";
        const std::string datum = datumEntry ? prefix : "";
        const std::string entry = datumEntry ? name.substr(dot + 1) : name;
        const auto found = Entries().find(entry);
        ASSERT_NE(found, Entries().end()) << "line " << number << ": " << name;
        const Values got = found->second(datum, in);
        ASSERT_EQ(got.size(), want.size()) << "line " << number << " (" << name << ")";
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_TRUE(Same(got[i], want[i]))
                << "line " << number << " (" << name << ") result " << i << ": " << Show(got[i])
                << " != " << Show(want[i]);
        }
        ++checked[entry];
    }
    // Every entry point of the table was reached.
    EXPECT_EQ(checked.size(), Entries().size());
    EXPECT_GT(number, 1850);
}

}  // namespace
