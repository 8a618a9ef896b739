#include "ui/bursa_param_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "workflow/estimation_run.h"

using namespace bursa_ids;

CBursaParamDlg::CBursaParamDlg(const SevenParams* params, QWidget* parent)
    : CTemplateDialog(BursaParamDialogTemplate(), parent) {
    if (params) {
        m_dX0 = params->dX0;
        m_dY0 = params->dY0;
        m_dZ0 = params->dZ0;
        m_K = params->K;
        m_betaX = params->betaX;
        m_betaY = params->betaY;
        m_betaZ = params->betaZ;
    }
    setWindowIcon(LoadIconResource(kIdrMainFrame));

    connect(Item<QPushButton>(kCompute), &QPushButton::clicked, this, &CBursaParamDlg::OnOK);
    connect(Item<QPushButton>(kCancel), &QPushButton::clicked, this, &CBursaParamDlg::reject);
    connect(Item<QPushButton>(kAccept), &QPushButton::clicked, this, &CBursaParamDlg::OnAccept);
    connect(Item<QPushButton>(kBeforeFile), &QPushButton::clicked, this, &CBursaParamDlg::OnPickBeforeFile);
    connect(Item<QPushButton>(kAfterFile), &QPushButton::clicked, this, &CBursaParamDlg::OnPickAfterFile);
    connect(Item<QComboBox>(kBeforeSystem), &QComboBox::activated, this,
            &CBursaParamDlg::OnSelchangeBeforeSystem);
    connect(Item<QComboBox>(kAfterSystem), &QComboBox::activated, this,
            &CBursaParamDlg::OnSelchangeAfterSystem);
    connect(Item<QComboBox>(kBeforeZoning), &QComboBox::activated, this,
            &CBursaParamDlg::OnSelchangeBeforeZoning);
    connect(Item<QComboBox>(kAfterZoning), &QComboBox::activated, this,
            &CBursaParamDlg::OnSelchangeAfterZoning);

    // Initialisation: every field shown, focus on the first control.
    UpdateData(false);
    FocusFirstControl();
}

CBursaParamDlg::~CBursaParamDlg() = default;

void CBursaParamDlg::DoDataExchange(CDataExchange& dx) {
    dx.ListIndex(kBeforeSystem, m_beforeSystem);
    // Before the numbers, so that a number that does not read never undoes
    // a zoning choice.
    dx.ListIndex(kBeforeZoning, m_beforeZoning);
    dx.ListIndex(kAfterZoning, m_afterZoning);
    dx.Number(kBeforeMeridian, m_beforeMeridian);
    dx.Number(kAfterMeridian, m_afterMeridian);
    dx.Number(kDX0, m_dX0);
    dx.Number(kDY0, m_dY0);
    dx.Number(kDZ0, m_dZ0);
    dx.Number(kBetaX, m_betaX);
    dx.Number(kBetaY, m_betaY);
    dx.Number(kBetaZ, m_betaZ);
    dx.Number(kK, m_K);
    dx.ListIndex(kAfterSystem, m_afterSystem);
}

void CBursaParamDlg::CopyTo(SevenParams& params) const {
    params.dX0 = m_dX0;
    params.dY0 = m_dY0;
    params.dZ0 = m_dZ0;
    params.K = m_K;
    params.betaX = m_betaX;
    params.betaY = m_betaY;
    params.betaZ = m_betaZ;
}

void CBursaParamDlg::OnOK() {
    // A field that does not read ends the press: no estimate, no report.
    if (!UpdateData(true)) return;

    BursaDialogValues values;
    values.beforeSystem = m_beforeSystem;
    values.afterSystem = m_afterSystem;
    values.beforeMeridian = m_beforeMeridian;
    values.afterMeridian = m_afterMeridian;
    values.beforeZoning = ZoningOfItem(m_beforeZoning);
    values.afterZoning = ZoningOfItem(m_afterZoning);
    if (!m_beforeFile.isEmpty()) values.beforeFile = ToPath(m_beforeFile);
    if (!m_afterFile.isEmpty()) values.afterFile = ToPath(m_afterFile);
    values.dX0 = m_dX0;
    values.dY0 = m_dY0;
    values.dZ0 = m_dZ0;
    values.K = m_K;
    values.betaX = m_betaX;
    values.betaY = m_betaY;
    values.betaZ = m_betaZ;

    const EstimationRunResult result = RunEstimation(values);
    if (result.outcome != EstimationOutcome::Estimated) return;

    m_dX0 = values.dX0;
    m_dY0 = values.dY0;
    m_dZ0 = values.dZ0;
    m_K = values.K;
    m_betaX = values.betaX;
    m_betaY = values.betaY;
    m_betaZ = values.betaZ;
    UpdateData(false);
}

void CBursaParamDlg::OnAccept() {
    if (!UpdateData(true)) return;
    EndDialog(kIdOk);
}

void CBursaParamDlg::ApplyForm(int system, int& zoning, int zoningId, int meridianId) {
    const SideForm side = SideFormOf(ParamListEntryAt(system), zoning);
    zoning = side.zoningItem;
    if (QWidget* list = GetDlgItem(zoningId)) list->setEnabled(side.zoningEnabled);
    if (QWidget* field = GetDlgItem(meridianId)) field->setEnabled(side.meridianEnabled);
}

void CBursaParamDlg::ApplyBeforeForm() {
    UpdateData(true);
    ApplyForm(m_beforeSystem, m_beforeZoning, kBeforeZoning, kBeforeMeridian);
    UpdateData(false);
}

void CBursaParamDlg::ApplyAfterForm() {
    UpdateData(true);
    ApplyForm(m_afterSystem, m_afterZoning, kAfterZoning, kAfterMeridian);
    UpdateData(false);
}

void CBursaParamDlg::OnSelchangeBeforeSystem() { ApplyBeforeForm(); }
void CBursaParamDlg::OnSelchangeAfterSystem() { ApplyAfterForm(); }
void CBursaParamDlg::OnSelchangeBeforeZoning() { ApplyBeforeForm(); }
void CBursaParamDlg::OnSelchangeAfterZoning() { ApplyAfterForm(); }

void CBursaParamDlg::PickCommonPointFile(const char* filter, QString& path, int buttonId) {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    PickFile(true, filter, path, buttonId);
    UpdateData(false);
}

void CBursaParamDlg::OnPickBeforeFile() {
    PickCommonPointFile(kBeforeFileFilter, m_beforeFile, kBeforeFile);
}

void CBursaParamDlg::OnPickAfterFile() {
    PickCommonPointFile(kAfterFileFilter, m_afterFile, kAfterFile);
}
