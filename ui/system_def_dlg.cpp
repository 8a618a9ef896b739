#include "ui/system_def_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <iterator>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/background_run.h"
#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/templates.h"
#include "workflow/conversion_run.h"
#include "workflow/epsg.h"
#include "workflow/system_file.h"

using namespace zelk;
using namespace system_ids;

namespace {
// The datums of the list, in its order; the item after them is 自定义椭球.
constexpr DatumId kDatums[] = {DatumId::Cgcs2000, DatumId::Xian80, DatumId::Beijing54, DatumId::Wgs84};
constexpr int kOwnEllipsoidItem = static_cast<int>(std::size(kDatums));
constexpr Form kForms[] = {Form::Projected, Form::Geodetic, Form::Geocentric};

// The ids of the fields that only a Gauss projection has.
constexpr int kGridFields[] = {kMeridian, kK0, kFalseEasting, kFalseNorthing, kPlaneHeight, kPlaneLatitude,
                               kPlaneX0, kPlaneY0};

const QString kPlaneHeightTip =
    QStringLiteral("投影面高程 H0：网格按 1 + H0/R 放大，使网格上的边长等于该高程上的实地边长（抵偿投影面）。");
const QString kPlaneOriginTip =
    QStringLiteral("投影面原点 x0、y0：网格以此点为中心缩放，此点坐标不变；一般取测区中心，缺省为 (0, 假东)。");

QString Fixed(double value, int decimals) { return QString::fromStdString(FormatFixed(value, decimals)); }
QString Text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

CSystemDefDlg::CSystemDefDlg(const Crs* start, QWidget* parent)
    : CTemplateDialog(SystemDefDialogTemplate(), parent) {
    setWindowIcon(LoadIconResource(kIdrMainFrame));
    connect(Item<QPushButton>(kOk), &QPushButton::clicked, this, &CSystemDefDlg::OnAccept);
    connect(Item<QPushButton>(kCancel), &QPushButton::clicked, this, &CSystemDefDlg::reject);
    connect(Item<QPushButton>(kOpen), &QPushButton::clicked, this, &CSystemDefDlg::OnOpen);
    connect(Item<QPushButton>(kSave), &QPushButton::clicked, this, &CSystemDefDlg::OnSave);
    for (const int id : {kDatum, kForm}) {
        connect(Item<QComboBox>(id), &QComboBox::activated, this, [this] {
            UpdateData(true);
            ApplyForm();
            UpdateData(false);
            UpdateDerived();
        });
    }
    for (const int id : {kA, kRf, kMeridian, kK0, kFalseNorthing, kPlaneHeight, kPlaneLatitude, kPlaneX0, kPlaneY0}) {
        connect(Item<QLineEdit>(id), &QLineEdit::textEdited, this, &CSystemDefDlg::UpdateDerived);
    }
    // y0 follows the false easting while it is the false easting (its
    // default), so a new false origin does not leave the plane origin behind.
    connect(Item<QLineEdit>(kFalseEasting), &QLineEdit::textEdited, this, [this](const QString& text) {
        auto* y0 = Item<QLineEdit>(kPlaneY0);
        const auto shown = ParseDialogNumber(CodePageBytes(y0->text()));
        if (shown && *shown == m_falseEasting) {
            if (const auto easting = ParseDialogNumber(CodePageBytes(text))) {
                m_falseEasting = *easting;
                m_y0 = *easting;
                y0->setText(QString::fromStdString(FormatDialogNumber(*easting)));
            }
        }
        UpdateDerived();
    });
    // The hints: one line each, on the field and its caption.
    const auto hint = [this](std::initializer_list<int> ids, const QString& text) {
        for (const int id : ids) {
            QWidget* control = GetDlgItem(id);
            if (qobject_cast<QLineEdit*>(control)) {
                control->setProperty(kFieldHintProperty, text);
            } else {
                control->setToolTip(text);
            }
        }
    };
    hint({kPlaneHeight, kPlaneHeightCaption}, kPlaneHeightTip);
    hint({kPlaneX0, kPlaneY0, kPlaneOriginCaption}, kPlaneOriginTip);
    hint({kPlaneLatitude}, QStringLiteral("投影面纬度：取平均曲率半径 R = √(M·N) 的纬度（度.分秒），一般取测区中部。"));
    hint({kMeridian}, QStringLiteral("中央子午线，度.分秒：114.20 是 114°20′。"));

    if (start) {
        ShowSystem(*start);
    } else {
        Crs fresh = MakeCrs(*FindSystem("cgcs2000-gauss"));
        ShowSystem(fresh);
    }
    FocusFirstControl();
}

CSystemDefDlg::~CSystemDefDlg() = default;

void CSystemDefDlg::DoDataExchange(CDataExchange& dx) {
    dx.ListIndex(kDatum, m_datum);
    dx.ListIndex(kForm, m_form);
    dx.Number(kA, m_a);
    dx.Number(kRf, m_rf);
    dx.Number(kMeridian, m_meridian);
    dx.Number(kK0, m_k0);
    dx.Number(kFalseEasting, m_falseEasting);
    dx.Number(kFalseNorthing, m_falseNorthing);
    dx.Number(kPlaneHeight, m_planeHeight);
    dx.Number(kPlaneLatitude, m_planeLatitude);
    dx.Number(kPlaneX0, m_x0);
    dx.Number(kPlaneY0, m_y0);
}

void CSystemDefDlg::ShowSystem(const Crs& crs) {
    Item<QLineEdit>(kName)->setText(Text(crs.name));
    m_datum = kOwnEllipsoidItem;
    for (int i = 0; i < kOwnEllipsoidItem; ++i) {
        if (!crs.ellipsoid && kDatums[i] == crs.datum) m_datum = i;
    }
    const Ellipsoid shape = EllipsoidOf(crs);
    m_a = shape.a();
    m_rf = crs.ellipsoid ? crs.ellipsoid->rf : DefiningInverseFlattening(crs.datum);
    m_form = crs.form == Form::Geodetic ? 1 : crs.form == Form::Geocentric ? 2 : 0;
    m_meridian = crs.meridian;
    m_k0 = crs.scale;
    m_falseEasting = crs.falseEasting;
    m_falseNorthing = crs.falseNorthing;
    m_planeHeight = crs.plane.height;
    m_planeLatitude = crs.plane.latitude;
    m_x0 = crs.plane.x0;
    m_y0 = crs.plane.height != 0.0 ? crs.plane.y0 : crs.falseEasting;
    ApplyForm();
    UpdateData(false);
    UpdateDerived();
}

void CSystemDefDlg::ApplyForm() {
    // A datum of the table shows its ellipsoid; 自定义椭球 takes a and 1/f,
    // starting from the ellipsoid shown before.
    const bool own = m_datum == kOwnEllipsoidItem;
    if (!own && m_datum >= 0) {
        const DatumId datum = kDatums[m_datum];
        m_a = DatumOf(datum).ellipsoid.a();
        m_rf = DefiningInverseFlattening(datum);
    }
    GetDlgItem(kA)->setEnabled(own);
    GetDlgItem(kRf)->setEnabled(own);
    const bool gauss = m_form == 0;
    for (const int id : kGridFields) GetDlgItem(id)->setEnabled(gauss);
}

std::optional<Crs> CSystemDefDlg::QuietSystem() const {
    const auto number = [this](int id) { return ParseDialogNumber(CodePageBytes(Item<QLineEdit>(id)->text())); };
    const int datum = Item<QComboBox>(kDatum)->currentIndex();
    const int form = Item<QComboBox>(kForm)->currentIndex();
    if (datum < 0 || form < 0) return std::nullopt;
    Crs crs;
    crs.name = Item<QLineEdit>(kName)->text().trimmed().toUtf8().toStdString();
    crs.form = kForms[form];
    if (datum == kOwnEllipsoidItem) {
        const auto a = number(kA), rf = number(kRf);
        if (!a || !rf) return std::nullopt;
        crs.ellipsoid = OwnEllipsoid{*a, *rf};
    } else {
        crs.datum = kDatums[datum];
    }
    if (crs.form != Form::Projected) return crs;
    const auto meridian = number(kMeridian), k0 = number(kK0), easting = number(kFalseEasting),
               northing = number(kFalseNorthing), height = number(kPlaneHeight), latitude = number(kPlaneLatitude),
               x0 = number(kPlaneX0), y0 = number(kPlaneY0);
    if (!meridian || !k0 || !easting || !northing || !height || !latitude || !x0 || !y0) return std::nullopt;
    crs.meridian = *meridian;
    crs.scale = *k0;
    crs.falseEasting = *easting;
    crs.falseNorthing = *northing;
    crs.plane = ProjectionPlane{*height, *latitude, *x0, *y0};
    return crs;
}

void CSystemDefDlg::UpdateDerived() {
    auto* label = Item<QLabel>(kDerived);
    const std::optional<Crs> crs = QuietSystem();
    if (!crs || !CrsProblemText(*crs, "").empty()) {
        label->setText(QString());
        return;
    }
    QString text;
    if (crs->IsProjected()) {
        const GridConstants grid = ProjectionConstants(*crs);
        if (crs->plane.height != 0.0) {
            const double q = PlaneScale(*crs);
            text = QStringLiteral("q = H0/R = %1 mm/km（R = %2 m）\n").arg(Fixed(q * 1e6, 3), Fixed(crs->plane.height / q, 3));
        } else {
            text = QStringLiteral("无投影面（H0 = 0）\n");
        }
        text += QStringLiteral("相当于横轴墨卡托 k0 = %1\n假东 %2 m，假北 %3 m")
                    .arg(QString::fromStdString(FormatGeneral(grid.scale, 12)), Fixed(grid.falseEasting, 3),
                         Fixed(grid.falseNorthing, 3));
    } else {
        text = crs->form == Form::Geodetic ? QStringLiteral("大地坐标 B L H，不投影") : QStringLiteral("地心坐标 X Y Z，不投影");
    }
    if (const std::optional<int> code = EpsgCodeOf(*crs)) text += QStringLiteral("，即 EPSG:%1").arg(*code);
    label->setText(text);
}

std::optional<Crs> CSystemDefDlg::ReadSystem() {
    if (!UpdateData(true)) return std::nullopt;
    auto* name = Item<QLineEdit>(kName);
    const std::optional<Crs> crs = QuietSystem();
    const auto refuse = [this](const std::string& text, int id) {
        ShowMessage(text, kSettingCaption, MessageIcon::Warning);
        GetDlgItem(id)->setFocus(Qt::OtherFocusReason);
        return std::nullopt;
    };
    if (name->text().trimmed().isEmpty()) return refuse("请键入坐标系的名称！", kName);
    if (!crs) return std::nullopt;
    if (const std::string problem = CrsProblemText(*crs, "自定义坐标系"); !problem.empty()) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    // A site on the equator is none: 0 is a latitude not typed.
    if (crs->IsProjected() && crs->plane.height != 0.0 && crs->plane.latitude == 0.0) {
        return refuse("有投影面高程时，请键入投影面纬度（测区中部的纬度，度.分秒）！", kPlaneLatitude);
    }
    return crs;
}

void CSystemDefDlg::OnAccept() {
    const std::optional<Crs> crs = ReadSystem();
    if (!crs) return;
    m_system = *crs;
    EndDialog(kIdOk);
}

void CSystemDefDlg::OnOpen() {
    const std::optional<QString> path = AskForFile(true, kSystemFileFilter, kSystemFileSuffix, this);
    if (!path) return;
    // A named pipe or a device would hold the window until it answers.
    std::string error = NotRegularFileText(ToPath(*path));
    const std::optional<Crs> crs = error.empty() ? ReadSystemFile(ToPath(*path), error) : std::nullopt;
    if (!crs) {
        ShowMessage("坐标系文件无法读取：\n" + error, kReadFileCaption, MessageIcon::Error);
        return;
    }
    ShowSystem(*crs);
}

void CSystemDefDlg::OnSave() {
    const std::optional<Crs> crs = ReadSystem();
    if (!crs) return;
    const std::optional<QString> path = AskForFile(false, kSystemFileFilter, kSystemFileSuffix, this);
    if (!path) return;
    std::string error;
    if (!SaveSystemFile(ToPath(*path), *crs, error)) {
        ShowMessage("坐标系文件无法保存：\n" + error, kWriteFileCaption, MessageIcon::Error);
    }
}
