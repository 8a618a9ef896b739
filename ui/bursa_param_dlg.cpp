#include "ui/bursa_param_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "ui/qt_platform.h"
#include "ui/resources.h"
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

    // Initialisation: every field shown, focus on the first control.
    UpdateData(false);
    FocusFirstControl();
}

CBursaParamDlg::~CBursaParamDlg() = default;

void CBursaParamDlg::DoDataExchange(CDataExchange& dx) {
    dx.ListIndex(kBeforeSystem, m_beforeSystem);
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

void CBursaParamDlg::EnableMeridian(int system, int fieldId) {
    // Odd indices are the projected systems; the remainder keeps the sign
    // of the index, so -1 enables too.
    if (QWidget* field = GetDlgItem(fieldId)) field->setEnabled(system % 2 != 0);
}

void CBursaParamDlg::OnSelchangeBeforeSystem() {
    UpdateData(true);
    EnableMeridian(m_beforeSystem, kBeforeMeridian);
    UpdateData(false);
}

void CBursaParamDlg::OnSelchangeAfterSystem() {
    UpdateData(true);
    EnableMeridian(m_afterSystem, kAfterMeridian);
    UpdateData(false);
}

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
