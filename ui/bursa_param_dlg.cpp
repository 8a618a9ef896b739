#include "ui/bursa_param_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include <QLabel>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/background_run.h"
#include "ui/parameter_files.h"
#include "ui/qt_platform.h"
#include "ui/residual_views.h"
#include "ui/resources.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "ui/transformation_text.h"
#include "workflow/calibration_run.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

using namespace bursa_ids;

namespace {
constexpr const char* kPrecisionHint =
    "按“计算”后，上表列出每对公共点的残差，\n这里列出七个参数的中误差。";

QString Plus(double value, int decimals) {
    return QStringLiteral("±") + QString::fromStdString(FormatFixed(value, decimals));
}

// The standard errors and the blunder test in a few lines.
QString PrecisionText(const EstimationRun& run) {
    if (!run.estimate.quality) return QString();
    const BursaQuality& q = *run.estimate.quality;
    if (!q.available) return QString();
    QString text = QStringLiteral("单位权中误差 ") + Plus(q.sigma0, 6) +
                   QStringLiteral(" m（多余观测数 %1）").arg(q.redundancy);
    if (q.precisionKnown) {
        const SevenParams& se = q.standardErrors;
        text += QStringLiteral("\n平移中误差 ΔX0 ") + Plus(se.dX0, 4) + QStringLiteral("  ΔY0 ") +
                Plus(se.dY0, 4) + QStringLiteral("  ΔZ0 ") + Plus(se.dZ0, 4) + QStringLiteral(" m");
        text += QStringLiteral("\n尺度中误差 Κ ") + Plus(se.K, 4) + QStringLiteral(" ppm");
        text += QStringLiteral("\n旋转中误差 βx ") + Plus(se.betaX, 4) + QStringLiteral("″  βy ") +
                Plus(se.betaY, 4) + QStringLiteral("″  βz ") + Plus(se.betaZ, 4) + QStringLiteral("″");
    } else {
        text += QStringLiteral("\n公共点几乎在一条直线上，参数中误差无法计算。");
    }
    if (q.Warns()) text += QStringLiteral("\n警告：公共点分布不良，有的参数不能确定（见解算报告）。");
    const OutlierTest& test = q.blunders;
    if (!test.performed) {
        text += QStringLiteral("\n公共点不足4对，未做粗差检验。");
    } else if (test.suspects.empty()) {
        text += QStringLiteral("\n粗差检验：未发现粗差。");
    } else {
        QStringList pairs;
        for (int i : test.suspects) pairs << QString::number(i + 1);
        text += QStringLiteral("\n粗差检验：第") + pairs.join(QStringLiteral("、")) +
                QStringLiteral("对可能有粗差（表中 * 行）。");
    }
    return text;
}
}  // namespace

CBursaParamDlg::CBursaParamDlg(const SevenParams* params, QWidget* parent,
                               RotationConvention convention)
    : CTemplateDialog(BursaParamDialogTemplate(), parent),
      m_convention(ItemOfConvention(convention)) {
    if (params) SetFieldValues(*params);
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
    connect(Item<QPushButton>(kOpenParams), &QPushButton::clicked, this, &CBursaParamDlg::OnOpenParams);
    connect(Item<QPushButton>(kSaveParams), &QPushButton::clicked, this, &CBursaParamDlg::OnSaveParams);
    ClearEstimate();

    // Initialisation: every field shown (the systems of the user's own of
    // this run in the lists), focus on the first control.
    RefillSystemLists();
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
    dx.ListIndex(kConvention, m_convention);
    dx.ListIndex(kDirection, m_direction);
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

RotationConvention CBursaParamDlg::Convention() const { return ConventionOfItem(m_convention); }

SevenParams CBursaParamDlg::FieldValues() const {
    SevenParams p;
    CopyTo(p);
    return p;
}

void CBursaParamDlg::SetFieldValues(const SevenParams& p) {
    m_dX0 = p.dX0;
    m_dY0 = p.dY0;
    m_dZ0 = p.dZ0;
    m_K = p.K;
    m_betaX = p.betaX;
    m_betaY = p.betaY;
    m_betaZ = p.betaZ;
}

void CBursaParamDlg::SelectSystems(const Crs& before, const Crs& after) {
    UpdateData(true);
    AssignSide(ParamListSelection(before), m_beforeSystem, m_beforeZoning, m_beforeMeridian);
    AssignSide(ParamListSelection(after), m_afterSystem, m_afterZoning, m_afterMeridian);
    RefillSystemLists();
    ApplyForm(m_beforeSystem, m_beforeZoning, m_beforeMeridian, kBeforeZoning, kBeforeMeridian);
    ApplyForm(m_afterSystem, m_afterZoning, m_afterMeridian, kAfterZoning, kAfterMeridian);
    UpdateData(false);
}

void CBursaParamDlg::HoldStep(const Transformation& step) {
    UpdateData(true);
    SetFieldValues(step.seven);
    m_convention = ItemOfConvention(step.convention);
    UpdateData(false);
    if (step.before && step.after) SelectSystems(*step.before, *step.after);
    SetInverse(step.inverse);
    m_held = step;
}

Transformation CBursaParamDlg::FieldStep() const {
    Transformation step = Transformation::Seven(FieldValues(), Convention());
    if (const auto systems = ChosenSystems()) {
        step.before = systems->first;
        step.after = systems->second;
    }
    return step;
}

bool CBursaParamDlg::Shows(const Transformation& held) const {
    const Transformation shown = FieldStep();
    const auto same = [](double field, double value) {
        return ParseDialogNumber(FormatDialogNumber(value)) == std::optional<double>(field);
    };
    const SevenParams& f = shown.seven;
    const SevenParams& v = held.seven;
    const auto sameSystem = [](const std::optional<Crs>& a, const std::optional<Crs>& b) {
        return a.has_value() == b.has_value() && (!a || SameSystem(*a, *b));
    };
    return held.model == Transformation::Model::Seven && !held.height && held.convention == shown.convention &&
           same(f.dX0, v.dX0) && same(f.dY0, v.dY0) && same(f.dZ0, v.dZ0) && same(f.K, v.K) &&
           same(f.betaX, v.betaX) && same(f.betaY, v.betaY) && same(f.betaZ, v.betaZ) &&
           sameSystem(shown.before, held.before) && sameSystem(shown.after, held.after);
}

Transformation CBursaParamDlg::Step() const {
    // The direction list says which way conversions apply the step.
    Transformation step = m_estimate && Shows(*m_estimate) ? *m_estimate
                          : m_held && Shows(*m_held)       ? *m_held
                                                           : FieldStep();
    step.inverse = Inverse();
    return step;
}

std::optional<std::pair<Crs, Crs>> CBursaParamDlg::ChosenSystems() const {
    const std::optional<Crs> before =
        SideCrs(SystemItemAt(SystemList::Param, m_beforeSystem), m_beforeZoning, m_beforeMeridian);
    const std::optional<Crs> after = SideCrs(SystemItemAt(SystemList::Param, m_afterSystem), m_afterZoning, m_afterMeridian);
    if (!before || !after) return std::nullopt;
    return std::make_pair(*before, *after);
}

void CBursaParamDlg::OnOK() {
    // A field that does not read ends the press: no estimate, no report.
    if (!UpdateData(true)) return;

    const std::optional<std::pair<Crs, Crs>> systems = ChosenSystems();
    if (!systems || m_beforeFile.isEmpty() || m_afterFile.isEmpty()) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return;
    }
    EstimationRequest request;
    request.settings.before = systems->first;
    request.settings.after = systems->second;
    request.settings.model = Transformation::Model::Seven;
    // The estimate comes in the convention chosen (the same transformation,
    // the rotations' signs turned).
    request.settings.convention = Convention();
    request.beforeFile = ToPath(m_beforeFile);
    request.afterFile = ToPath(m_afterFile);

    const std::optional<EstimationRun> run = InBackground<EstimationRun>(
        *this, QStringLiteral("正在解算"), QStringLiteral("正在读取公共点并解算七参数…"),
        [request] { return RunFileEstimation(request); });
    if (!run) return;  // given up
    const EstimationRun& result = *run;
    ShowMessage(result.message.text, result.message.caption, result.message.icon);
    if (result.outcome != EstimationOutcome::Estimated) return;

    SetFieldValues(result.estimate.calibration.seven);
    UpdateData(false);
    m_estimate = result.estimate.calibration;
    m_estimate->before = systems->first;
    m_estimate->after = systems->second;
    m_report = result.message.text;
    m_estimateFiles[0] = zelk::platform::PathText(ToPath(m_beforeFile).filename());
    m_estimateFiles[1] = zelk::platform::PathText(ToPath(m_afterFile).filename());
    ShowEstimate(result);
}

void CBursaParamDlg::ShowEstimate(const EstimationRun& run) {
    if (auto* table = Item<CResidualTable>(kResiduals)) {
        table->ShowResiduals(run.estimate.residuals, ResidualKind::Spatial);
    }
    SetDlgItemText(kPrecision, PrecisionText(run));
}

void CBursaParamDlg::ClearEstimate() {
    if (auto* table = Item<CResidualTable>(kResiduals)) table->Clear(ResidualKind::Spatial);
    SetDlgItemText(kPrecision, QString::fromUtf8(kPrecisionHint));
    m_report.clear();
    m_estimate.reset();
}

void CBursaParamDlg::OnSaveParams() {
    if (!UpdateData(true)) return;
    // The systems go with the values when both are chosen.
    const bool systems = m_beforeSystem >= 0 && m_afterSystem >= 0;
    if (systems) {
        const std::optional<std::pair<Crs, Crs>> chosen = ChosenSystems();
        if (!chosen) return;
        CalibrationSettings settings;
        settings.convention = Convention();
        settings.before = chosen->first;
        settings.after = chosen->second;
        if (const std::string problem = CalibrationSettingsProblem(settings); !problem.empty()) {
            ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
            return;
        }
    }
    const std::optional<QString> path = PickParamsFile(false, this);
    if (!path) return;

    // What was estimated, while the fields show it: every digit, with its
    // report and files, as zelk-cli estimate --save writes it.
    const bool estimated = m_estimate && Shows(*m_estimate);
    Transformation step = Step();
    std::string comment;
    if (estimated) {
        comment = CalibrationComment(step, m_report, m_estimateFiles[0], m_estimateFiles[1]);
    } else if (systems) {
        comment = CalibrationComment(step, "(typed or opened, not estimated here)", "", "");
    } else {
        comment = "Seven parameters (Bursa-Wolf), for any systems.\n"
                  "dX0 dY0 dZ0 in metres, K in ppm, betaX betaY betaZ in arc-seconds.";
    }
    comment += "\n" + UseItAsLine(*path);
    if (!SaveParamsFile(this, *path, step, comment)) return;
    step.source = QFileInfo(*path).fileName().toStdString();
    m_held = step;
    if (estimated) m_estimate->source = step.source;
}

void CBursaParamDlg::OnOpenParams() {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    QString path;
    const std::optional<Transformation> calibration = OpenParamsFile(this, path);
    if (!calibration) return;
    if (calibration->model != Transformation::Model::Seven || calibration->height) {
        ShowMessage(calibration->model == Transformation::Model::Four
                        ? "这是四参数点校正文件，请在主窗口按“点校正”打开！"
                    : calibration->model == Transformation::Model::Three
                        ? "这是三参数文件，请在“转换参数”中打开，或在主窗口按“点校正”打开！"
                        : "这个七参数文件带有高程拟合，请在主窗口按“点校正”打开！",
                    kReadFileCaption, MessageIcon::Warning);
        return;
    }
    SetFieldValues(calibration->seven);
    m_convention = ItemOfConvention(calibration->convention);
    m_held = *calibration;
    if (calibration->before && calibration->after) {
        AssignSide(ParamListSelection(*calibration->before), m_beforeSystem, m_beforeZoning, m_beforeMeridian);
        AssignSide(ParamListSelection(*calibration->after), m_afterSystem, m_afterZoning, m_afterMeridian);
        RefillSystemLists();
        ApplyForm(m_beforeSystem, m_beforeZoning, m_beforeMeridian, kBeforeZoning, kBeforeMeridian);
        ApplyForm(m_afterSystem, m_afterZoning, m_afterMeridian, kAfterZoning, kAfterMeridian);
    }
    UpdateData(false);
    ClearEstimate();
}

void CBursaParamDlg::OnAccept() {
    if (!UpdateData(true)) return;
    EndDialog(kIdOk);
}

void CBursaParamDlg::ApplyForm(int system, int& zoning, double& meridian, int zoningId, int meridianId) {
    ApplySideForm(*this, SystemItemAt(SystemList::Param, system), zoning, meridian, zoningId, meridianId);
}

void CBursaParamDlg::ApplyBeforeForm() {
    UpdateData(true);
    ApplyForm(m_beforeSystem, m_beforeZoning, m_beforeMeridian, kBeforeZoning, kBeforeMeridian);
    UpdateData(false);
}

void CBursaParamDlg::ApplyAfterForm() {
    UpdateData(true);
    ApplyForm(m_afterSystem, m_afterZoning, m_afterMeridian, kAfterZoning, kAfterMeridian);
    UpdateData(false);
}

void CBursaParamDlg::OnSelchangeBeforeSystem() {
    ChooseOwnSystemIfAsked(this, SystemList::Param, kBeforeSystem, m_beforeSystem, {kBeforeSystem, kAfterSystem});
    ApplyBeforeForm();
}

void CBursaParamDlg::OnSelchangeAfterSystem() {
    ChooseOwnSystemIfAsked(this, SystemList::Param, kAfterSystem, m_afterSystem, {kBeforeSystem, kAfterSystem});
    ApplyAfterForm();
}

void CBursaParamDlg::RefillSystemLists() {
    for (const int id : {kBeforeSystem, kAfterSystem}) RefillSystemList(Item<QComboBox>(id), SystemList::Param);
}
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
