#include "ui/convert_dlg.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "workflow/convert_run.h"

using namespace convert_ids;

CConvertDlg::CConvertDlg(QWidget* parent)
    : CTemplateDialog(ConvertDialogTemplate(), parent), m_icon(LoadIconResource(kIdrMainFrame)) {
    connect(Item<QPushButton>(kConvert), &QPushButton::clicked, this, &CConvertDlg::OnOK);
    connect(Item<QPushButton>(kEditParams), &QPushButton::clicked, this, &CConvertDlg::OnEditParams);
    connect(Item<QPushButton>(kCalibrate), &QPushButton::clicked, this, &CConvertDlg::OnCalibrate);
    for (int id : {kSrcMeridian, kTgtMeridian}) {
        connect(Item<QLineEdit>(id), &QLineEdit::textChanged, this, &CConvertDlg::UpdateTransformLine);
    }
    connect(Item<QPushButton>(kInputFile), &QPushButton::clicked, this, &CConvertDlg::OnPickInputFile);
    connect(Item<QPushButton>(kOutputFile), &QPushButton::clicked, this, &CConvertDlg::OnPickOutputFile);
    connect(Item<QComboBox>(kSrcSystem), &QComboBox::activated, this, &CConvertDlg::OnSelchangeSrcSystem);
    connect(Item<QComboBox>(kTgtSystem), &QComboBox::activated, this, &CConvertDlg::OnSelchangeTgtSystem);
    connect(Item<QComboBox>(kSrcZoning), &QComboBox::activated, this, &CConvertDlg::OnSelchangeSrcZoning);
    connect(Item<QComboBox>(kTgtZoning), &QComboBox::activated, this, &CConvertDlg::OnSelchangeTgtZoning);
    OnInitDialog();
}

CConvertDlg::~CConvertDlg() = default;

void CConvertDlg::OnInitDialog() {
    // Every field shown: both system lists without selection, both zoning
    // lists on the meridian, the numbers "0".
    UpdateData(false);

    // The about entry of the window menu.
    const std::optional<QString> aboutText = LoadStringResource(kIdsAboutEntry);
    if (aboutText && !aboutText->isEmpty()) {
        m_systemMenu = new QMenu(this);
        QAction* about = m_systemMenu->addAction(*aboutText);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(kIdmAboutBox); });
    }

    setWindowIcon(m_icon);
    m_params = std::make_unique<SevenParams>();

    m_authorLink.m_address = AuthorPageAddress();
    m_authorLink.SubclassDlgItem(kAuthorLink, this);
    m_siteLink.m_address = SupportSiteAddress();
    m_siteLink.SubclassDlgItem(kSiteLink, this);
    UpdateTransformLine();

    FocusFirstControl();
}

void CConvertDlg::DoDataExchange(CDataExchange& dx) {
    dx.ListIndex(kSrcSystem, m_srcSystem);
    dx.ListIndex(kTgtSystem, m_tgtSystem);
    // Before the numbers, so that a number that does not read never undoes
    // a zoning choice.
    dx.ListIndex(kSrcZoning, m_srcZoning);
    dx.ListIndex(kTgtZoning, m_tgtZoning);
    dx.Number(kSrcMeridian, m_srcMeridian);
    dx.Number(kTgtMeridian, m_tgtMeridian);
    dx.Number(kSrcX, m_srcX);
    dx.Number(kSrcY, m_srcY);
    dx.Number(kTgtY, m_tgtY);
    dx.Number(kSrcZ, m_srcZ);
    dx.Number(kTgtZ, m_tgtZ);
    dx.Number(kTgtX, m_tgtX);
    dx.Check(kWithNames, m_withNames);
}

void CConvertDlg::OnOK() {
    // A field that does not read ends the press: it has the focus and its
    // text selected, and nothing is converted, written or shown.
    if (!UpdateData(true)) return;

    ConvertDialogValues values;
    values.srcSystem = m_srcSystem;
    values.tgtSystem = m_tgtSystem;
    values.srcMeridian = m_srcMeridian;
    values.tgtMeridian = m_tgtMeridian;
    values.srcZoning = ZoningOfItem(m_srcZoning);
    values.tgtZoning = ZoningOfItem(m_tgtZoning);
    values.srcX = m_srcX;
    values.srcY = m_srcY;
    values.srcZ = m_srcZ;
    // The point's three results start empty (0, as when the dialog opens):
    // a point that is not converted, because its x or y is exactly 0, must
    // not leave the previous point's result beside it.
    values.tgtX = values.tgtY = values.tgtZ = 0.0;
    values.withNames = m_withNames;
    if (!m_inputPath.isEmpty()) values.inputPath = ToPath(m_inputPath);
    if (!m_outputPath.isEmpty()) values.outputPath = ToPath(m_outputPath);
    values.params = *m_params;
    if (!TakeTransformation(values)) return;

    const ConvertOutcome outcome = RunConvert(values);
    if (outcome == ConvertOutcome::Incomplete) return;  // nothing was converted

    // The converted point is kept even when the press ends before showing it.
    m_tgtX = values.tgtX;
    m_tgtY = values.tgtY;
    m_tgtZ = values.tgtZ;
    if (outcome == ConvertOutcome::Done) UpdateData(false);
}

void CConvertDlg::ApplyForm(int system, int& zoning, int zoningId, int meridianId, int firstCaptionId) {
    const SideForm side = SideFormOf(MainListEntryAt(system), zoning);
    zoning = side.zoningItem;
    if (QWidget* list = GetDlgItem(zoningId)) list->setEnabled(side.zoningEnabled);
    if (QWidget* field = GetDlgItem(meridianId)) field->setEnabled(side.meridianEnabled);
    for (std::size_t i = 0; i < side.captions.size(); ++i) {
        SetDlgItemText(firstCaptionId + static_cast<int>(i), side.captions[i]);
    }
}

void CConvertDlg::ApplySourceForm() {
    UpdateData(true);
    ApplyForm(m_srcSystem, m_srcZoning, kSrcZoning, kSrcMeridian, kSrcXCaption);
    UpdateData(false);
    UpdateTransformLine();
}

void CConvertDlg::ApplyTargetForm() {
    UpdateData(true);
    ApplyForm(m_tgtSystem, m_tgtZoning, kTgtZoning, kTgtMeridian, kTgtXCaption);
    UpdateData(false);
    UpdateTransformLine();
}

void CConvertDlg::OnSelchangeSrcSystem() { ApplySourceForm(); }
void CConvertDlg::OnSelchangeTgtSystem() { ApplyTargetForm(); }
void CConvertDlg::OnSelchangeSrcZoning() { ApplySourceForm(); }
void CConvertDlg::OnSelchangeTgtZoning() { ApplyTargetForm(); }

void CConvertDlg::PickPointFile(bool open, const char* filter, QString& path, int buttonId) {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    PickFile(open, filter, path, buttonId);
    UpdateData(false);
}

void CConvertDlg::OnPickInputFile() {
    PickPointFile(true, kBeforeFileFilter, m_inputPath, kInputFile);
}

void CConvertDlg::OnPickOutputFile() {
    PickPointFile(false, kAfterFileFilter, m_outputPath, kOutputFile);
}

void CConvertDlg::OnEditParams() {
    CBursaParamDlg dialog(m_params.get(), this, m_convention);
    if (dialog.DoModal() != kIdOk) return;
    // Confirmed seven parameters are what conversions apply from now on.
    dialog.CopyTo(*m_params);
    m_convention = dialog.Convention();
    m_calibration.reset();
    m_calibrationName.clear();
    UpdateTransformLine();
}

void CConvertDlg::OnCalibrate() {
    CCalibrationDlg dialog(m_calibration ? &*m_calibration : nullptr, m_calibrationName, this);
    if (!m_calibration) {
        // A new calibration starts from the systems chosen here.
        const auto meridian = [this](int id, double stored) {
            return ParseDialogNumber(CodePageBytes(Item<QLineEdit>(id)->text())).value_or(stored);
        };
        dialog.SelectSystems(Item<QComboBox>(kSrcSystem)->currentIndex(),
                             Item<QComboBox>(kSrcZoning)->currentIndex(), meridian(kSrcMeridian, m_srcMeridian),
                             Item<QComboBox>(kTgtSystem)->currentIndex(),
                             Item<QComboBox>(kTgtZoning)->currentIndex(), meridian(kTgtMeridian, m_tgtMeridian));
    }
    if (dialog.DoModal() != kIdOk) return;
    m_calibration = dialog.Held();
    m_calibrationName = m_calibration ? dialog.HeldName() : QString();
    UpdateTransformLine();
}

std::optional<zelk::Crs> CConvertDlg::ShownCrs(bool target) const {
    const int system = Item<QComboBox>(target ? kTgtSystem : kSrcSystem)->currentIndex();
    const int zoning = Item<QComboBox>(target ? kTgtZoning : kSrcZoning)->currentIndex();
    const double meridian =
        ParseDialogNumber(CodePageBytes(Item<QLineEdit>(target ? kTgtMeridian : kSrcMeridian)->text()))
            .value_or(target ? m_tgtMeridian : m_srcMeridian);
    return MainListCrs(system, ZoningOfItem(zoning), meridian);
}

bool CConvertDlg::TakeTransformation(ConvertDialogValues& values) const {
    if (!m_calibration) {
        if (m_convention != RotationConvention::CoordinateFrame) {
            values.calibration = zelk::Transformation::Seven(values.params, m_convention);
        }
        return true;
    }
    // Missing systems and settings that cannot be used are the run's to report.
    const std::optional<zelk::Crs> from = MainListCrs(values.srcSystem, values.srcZoning, values.srcMeridian);
    const std::optional<zelk::Crs> to = MainListCrs(values.tgtSystem, values.tgtZoning, values.tgtMeridian);
    if (!from || !to || !SettingProblemText(*from, "转换前").empty() ||
        !SettingProblemText(*to, "转换后").empty()) {
        return true;
    }
    std::string problem;
    values.calibration = TransformationFor(*m_calibration, *from, *to, problem);
    if (!values.calibration) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        return false;
    }
    return true;
}

void CConvertDlg::UpdateTransformLine() {
    auto* label = Item<QLabel>(kTransformLine);
    if (!label || !m_params) return;  // not before the dialog has its parameters
    m_transformLine = DescribeTransformation(*m_params, m_convention, m_calibration ? &*m_calibration : nullptr,
                                             m_calibrationName, ShownCrs(false), ShownCrs(true));
    const QString shown = label->fontMetrics().elidedText(m_transformLine.text, Qt::ElideRight, label->width());
    label->setText(shown);
    label->setToolTip(shown == m_transformLine.text ? m_transformLine.details
                                                    : m_transformLine.text + QLatin1Char('\n') +
                                                          m_transformLine.details);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     m_transformLine.warning ? WarningColor() : this->palette().color(QPalette::WindowText));
    label->setPalette(palette);
}

void CConvertDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CConvertDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_systemMenu || m_systemMenu->actions().isEmpty()) {
        CTemplateDialog::contextMenuEvent(event);
        return;
    }
    m_systemMenu->exec(event->globalPos());
}
