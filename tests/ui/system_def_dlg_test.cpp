// Systems of the user's own in the desktop program: the system dialog opens,
// shows, refuses and saves a definition; 自定义坐标系… in a system list makes
// the system the side's, under its name in the lists and on the status
// line, and a conversion through it gives the core's numbers.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "recording_messages.h"
#include "ui/calibration_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/system_def_dlg.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "workflow/chain.h"
#include "workflow/parameter_file.h"
#include "workflow/system_file.h"

using namespace zelk;
using namespace system_ids;

namespace {
const QString kCity = QStringLiteral(ZELK_TEST_DATA_DIR "/systems/city-cgcs2000.crs");

Crs CityFromFile() {
    std::string error;
    const std::optional<Crs> crs = ReadSystemFile(ToPath(kCity), error);
    EXPECT_TRUE(crs) << error;
    return crs.value_or(Crs{});
}

void Type(CTemplateDialog& d, int id, const QString& text) {
    d.Item<QLineEdit>(id)->setText(text);
    emit d.Item<QLineEdit>(id)->textEdited(text);
}
}  // namespace

TEST(SystemDialog, OpensShowsAndGivesBackEveryField) {
    RecordingMessages messages;
    RecordingPicker picker;
    picker.answers = {kCity};
    CSystemDefDlg dialog;
    dialog.Item<QPushButton>(kOpen)->click();
    EXPECT_EQ(picker.requests.at(0).filter, QString::fromUtf8(kSystemFileFilter));
    const std::pair<int, const char*> shown[] = {
        {kName, "某市2000独立坐标系"}, {kMeridian, "114.2"},     {kK0, "1"},
        {kFalseEasting, "500000"},     {kFalseNorthing, "0"},    {kPlaneHeight, "350"},
        {kPlaneLatitude, "30.3"},      {kPlaneX0, "3380000"},    {kPlaneY0, "500000"},
        {kA, "6378137"},               {kRf, "298.257222101"},
    };
    for (const auto& [id, text] : shown) EXPECT_EQ(Text(dialog.GetDlgItem(id)), QString::fromUtf8(text)) << id;
    EXPECT_FALSE(dialog.GetDlgItem(kA)->isEnabled());  // a datum of the table
    // What the plane comes to, as zelk-cli systems --system says it.
    EXPECT_TRUE(Text(dialog.GetDlgItem(kDerived)).startsWith(QStringLiteral("q = H0/R = 54.965 mm/km（R = 6367733.088 m）")))
        << Text(dialog.GetDlgItem(kDerived)).toStdString();
    // One line each on H0 and the plane origin.
    for (int id : {kPlaneHeight, kPlaneX0, kPlaneY0}) {
        EXPECT_FALSE(dialog.GetDlgItem(id)->toolTip().isEmpty()) << id;
        EXPECT_FALSE(dialog.GetDlgItem(id)->toolTip().contains(QLatin1Char('\n'))) << id;
    }

    dialog.Item<QPushButton>(kOk)->click();
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_TRUE(SameSystem(dialog.System(), CityFromFile()));
    EXPECT_EQ(dialog.System().name, "某市2000独立坐标系");
    EXPECT_TRUE(messages.messages.empty());

    // A geodetic system on an ellipsoid of its own leaves the grid fields out.
    CSystemDefDlg own;
    Type(own, kName, QStringLiteral("放大椭球"));
    SelectItem(own.Item<QComboBox>(kDatum), 4);
    SelectItem(own.Item<QComboBox>(kForm), 1);
    EXPECT_TRUE(own.GetDlgItem(kA)->isEnabled());
    EXPECT_FALSE(own.GetDlgItem(kMeridian)->isEnabled());
    Type(own, kA, QStringLiteral("6378487"));
    own.Item<QPushButton>(kOk)->click();
    ASSERT_EQ(own.result(), kIdOk);
    EXPECT_EQ(own.System().ellipsoid, (OwnEllipsoid{6378487, 298.257222101}));
    EXPECT_EQ(own.System().form, Form::Geodetic);
}

TEST(SystemDialog, RefusesWhatMakesNoSystemAndSavesWhatDoes) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    CSystemDefDlg dialog;
    struct Case {
        int id;
        const char* text;
        const char* message;  // the start of it
    };
    const Case cases[] = {
        {kName, "", "请键入坐标系的名称！"},
        {kK0, "0", "自定义坐标系中央子午线尺度k0=0，应大于0！"},
        {kPlaneHeight, "12000", "自定义坐标系投影面高程12000米超出±10000米！"},
        {kPlaneHeight, "350", "有投影面高程时，请键入投影面纬度"},
        {kMeridian, "181", "自定义坐标系中央子午线超出±180度"},
    };
    Type(dialog, kName, QStringLiteral("工地"));
    for (const Case& c : cases) {
        CSystemDefDlg fresh;
        Type(fresh, kName, QStringLiteral("工地"));
        Type(fresh, c.id, QString::fromUtf8(c.text));
        messages.messages.clear();
        fresh.Item<QPushButton>(kOk)->click();
        EXPECT_NE(fresh.result(), kIdOk) << c.text;
        ASSERT_EQ(messages.messages.size(), 1u) << c.text;
        EXPECT_EQ(messages.messages[0].text.rfind(c.message, 0), 0u) << messages.messages[0].text;
    }
    // The false easting takes the plane origin's y0 along while it is its
    // default; saved, the file reads back as the same system.
    Type(dialog, kFalseEasting, QStringLiteral("40000"));
    EXPECT_EQ(Text(dialog.GetDlgItem(kPlaneY0)), QStringLiteral("40000"));
    Type(dialog, kPlaneHeight, QStringLiteral("-25.5"));
    Type(dialog, kPlaneLatitude, QStringLiteral("31.15"));
    const QString path = folder.filePath(QStringLiteral("工地.crs"));
    picker.answers = {path};
    messages.messages.clear();
    dialog.Item<QPushButton>(kSave)->click();
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.at(0).text;
    EXPECT_FALSE(picker.requests.at(0).open);
    std::string error;
    const std::optional<Crs> saved = ReadSystemFile(ToPath(path), error);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(saved->name, "工地");
    EXPECT_EQ(saved->plane.y0, 40000.0);
    EXPECT_EQ(saved->plane.height, -25.5);

    // A file that does not read is shown with its file, line and key.
    WriteFile(folder.filePath(QStringLiteral("bad.crs")), "datum = cgcs2000\nform = gauss\nmeridian = 114\nk0 = 0\n");
    picker.answers = {folder.filePath(QStringLiteral("bad.crs"))};
    messages.messages.clear();
    dialog.Item<QPushButton>(kOpen)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("bad.crs:4: k0 = 0: the scale"), std::string::npos)
        << messages.messages[0].text;
    EXPECT_EQ(Text(dialog.GetDlgItem(kName)), QStringLiteral("工地"));  // the fields as they were
}

TEST(SystemDialog, DefinedInTheMainListConvertsUnderItsName) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    auto* source = dialog.Item<QComboBox>(convert_ids::kSrcSystem);
    const int define = DefineItemIndex(SystemList::Main);
    EXPECT_EQ(source->itemText(define), QStringLiteral("自定义坐标系…"));

    // Cancelled: the list goes back to what it showed.
    SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex("cgcs2000-gauss"));
    auto ran = WhenModal([](QWidget* w) { static_cast<CSystemDefDlg*>(w)->Item<QPushButton>(kCancel)->click(); });
    SelectItem(source, define);
    EXPECT_TRUE(*ran);
    EXPECT_EQ(source->currentIndex(), MainIndex("cgcs2000-gauss"));

    // Opened from its file and confirmed: the side's system, by name.
    picker.answers = {kCity};
    ran = WhenModal([](QWidget* w) {
        auto* define = static_cast<CSystemDefDlg*>(w);
        define->Item<QPushButton>(kOpen)->click();
        define->Item<QPushButton>(kOk)->click();
    });
    SelectItem(source, DefineItemIndex(SystemList::Main));
    ASSERT_TRUE(*ran);
    EXPECT_EQ(source->currentText(), QStringLiteral("某市2000独立坐标系"));
    EXPECT_EQ(source->itemText(source->count() - 1), QStringLiteral("自定义坐标系…"));
    EXPECT_NE(dialog.Item<QComboBox>(convert_ids::kTgtSystem)->findText(QStringLiteral("某市2000独立坐标系")), -1);
    EXPECT_FALSE(dialog.GetDlgItem(convert_ids::kSrcMeridian)->isEnabled());
    EXPECT_EQ(Text(dialog.GetDlgItem(convert_ids::kSrcMeridian)), QStringLiteral("114.2"));  // its own
    EXPECT_FALSE(dialog.GetDlgItem(convert_ids::kSrcZoning)->isEnabled());
    EXPECT_EQ(Text(dialog.GetDlgItem(convert_ids::kSrcXCaption)), QStringLiteral("x"));

    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("cgcs2000-geodetic"));
    EXPECT_TRUE(dialog.TransformLine().text.endsWith(QStringLiteral("；某市2000独立坐标系 → CGCS2000-大地坐标")))
        << dialog.TransformLine().text.toStdString();
    EXPECT_FALSE(dialog.TransformLine().warning);

    // A typed point converts as the chain does.
    dialog.Item<QLineEdit>(convert_ids::kSrcX)->setText(QStringLiteral("3376725.1234"));
    dialog.Item<QLineEdit>(convert_ids::kSrcY)->setText(QStringLiteral("481234.5678"));
    dialog.Item<QLineEdit>(convert_ids::kSrcZ)->setText(QStringLiteral("10"));
    dialog.Item<QPushButton>(convert_ids::kConvert)->click();
    double v[3] = {3376725.1234, 481234.5678, 10};
    ASSERT_EQ(ConversionChain(CityFromFile(), MakeCrs(*FindSystem("cgcs2000-geodetic")), {Transformation::Seven({})})
                  .Convert(v[0], v[1], v[2]),
              PointProblem::None);
    EXPECT_EQ(dialog.m_tgtX, v[0]);
    EXPECT_EQ(dialog.m_tgtY, v[1]);
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.at(0).text;

    // The calibration dialog opened from here lists it at the same place.
    ran = WhenModal([](QWidget* w) {
        auto* calibration = static_cast<CCalibrationDlg*>(w);
        EXPECT_EQ(calibration->Item<QComboBox>(calibration_ids::kBeforeSystem)->currentText(),
                  QStringLiteral("某市2000独立坐标系"));
        calibration->reject();
    });
    dialog.Item<QPushButton>(convert_ids::kCalibrate)->click();
    EXPECT_TRUE(*ran);
}

TEST(SystemDialog, ACalibrationFileBringsItsSystemIntoTheLists) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    Transformation t;
    t.model = Transformation::Model::Four;
    t.four = FourParams{1000, 2000, 0, 1};
    Crs city = CityFromFile();
    city.name = "另一个工地";  // not in the lists yet
    t.before = city;
    t.after = MakeCrs(*FindSystem("local"));
    const QString path = folder.filePath(QStringLiteral("site.params"));
    std::string error;
    ASSERT_TRUE(SaveParametersFile(ToPath(path), t, "", error)) << error;
    picker.answers = {path};
    CCalibrationDlg dialog;
    dialog.Item<QPushButton>(calibration_ids::kOpen)->click();
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.at(0).text;
    EXPECT_EQ(dialog.Item<QComboBox>(calibration_ids::kBeforeSystem)->currentText(), QStringLiteral("另一个工地"));
    const std::optional<CalibrationSettings> settings = dialog.ReadSettings();
    ASSERT_TRUE(settings);
    EXPECT_TRUE(SameSystem(settings->before, city));
}
