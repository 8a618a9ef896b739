#include "ui/convert_dlg.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
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
}

void CConvertDlg::ApplyTargetForm() {
    UpdateData(true);
    ApplyForm(m_tgtSystem, m_tgtZoning, kTgtZoning, kTgtMeridian, kTgtXCaption);
    UpdateData(false);
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
    CBursaParamDlg dialog(m_params.get(), this);
    if (dialog.DoModal() == kIdOk) dialog.CopyTo(*m_params);
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
