#include "ui/calibration_dlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "platform/files.h"
#include "platform/message_box.h"
#include "ui/background_run.h"
#include "ui/geoid_choice.h"
#include "ui/pair_table.h"
#include "ui/parameter_files.h"
#include "ui/qt_platform.h"
#include "ui/residual_views.h"
#include "ui/resources.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "ui/transformation_text.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/input_file.h"
#include "workflow/pair_file.h"

using namespace zelk;

using namespace calibration_ids;

namespace {
constexpr HeightModel kHeightModels[] = {HeightModel::Fixed, HeightModel::Plane, HeightModel::Quadratic};
constexpr pointformat::FileFormat kFormats[] = {pointformat::FileFormat::Plain, pointformat::FileFormat::Dat,
                                                pointformat::FileFormat::Csv};

const QString kPlotHint = QStringLiteral("按“计算”后在此画出各点的平面残差");

// The captions of a side's three values in the pair table.
std::array<QString, 3> Axes(int mainIndex) {
    const std::optional<zelk::Form> form = SystemItemAt(SystemList::Main, mainIndex).FormOf();
    if (form == zelk::Form::Geodetic) return {QStringLiteral("B"), QStringLiteral("L"), QStringLiteral("H")};
    if (form == zelk::Form::Geocentric) return {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")};
    return {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("H")};
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

bool IsGeodetic(int mainIndex) {
    return SystemItemAt(SystemList::Main, mainIndex).FormOf() == zelk::Form::Geodetic;
}

AngleFormat AnglesOfItem(int item) {
    return item > 0 && item <= static_cast<int>(AngleFormat::Dms) ? static_cast<AngleFormat>(item)
                                                                   : AngleFormat::Packed;
}
}  // namespace

Transformation::Model ModelOfItem(int item) {
    return item == 1 ? Transformation::Model::Four : item == 2 ? Transformation::Model::Three : Transformation::Model::Seven;
}

int ItemOfModel(Transformation::Model model) {
    return model == Transformation::Model::Four ? 1 : model == Transformation::Model::Three ? 2 : 0;
}

std::optional<HeightModel> HeightModelOfItem(int item) {
    if (item < 1 || item > static_cast<int>(std::size(kHeightModels))) return std::nullopt;
    return kHeightModels[item - 1];
}

int ItemOfHeightModel(const std::optional<HeightModel>& model) {
    if (!model) return 0;
    for (int i = 0; i < static_cast<int>(std::size(kHeightModels)); ++i) {
        if (kHeightModels[i] == *model) return i + 1;
    }
    return 0;
}

CCalibrationDlg::CCalibrationDlg(const Transformation* held, const QString& heldName, QWidget* parent)
    : CTemplateDialog(CalibrationDialogTemplate(), parent) {
    setWindowIcon(LoadIconResource(kIdrMainFrame));
    connect(Item<QPushButton>(kCompute), &QPushButton::clicked, this, &CCalibrationDlg::OnCompute);
    connect(Item<QPushButton>(kCancel), &QPushButton::clicked, this, &CCalibrationDlg::reject);
    connect(Item<QPushButton>(kAccept), &QPushButton::clicked, this, &CCalibrationDlg::OnAccept);
    connect(Item<QPushButton>(kOpen), &QPushButton::clicked, this, &CCalibrationDlg::OnOpen);
    connect(Item<QPushButton>(kSave), &QPushButton::clicked, this, &CCalibrationDlg::OnSave);
    connect(Item<QPushButton>(kClear), &QPushButton::clicked, this, &CCalibrationDlg::OnClear);
    connect(Item<QPushButton>(kBeforeFile), &QPushButton::clicked, this, [this] { OnPickFile(false); });
    connect(Item<QPushButton>(kAfterFile), &QPushButton::clicked, this, [this] { OnPickFile(true); });
    connect(Item<QPushButton>(kReadPairs), &QPushButton::clicked, this, &CCalibrationDlg::OnReadPairs);
    connect(Item<QPushButton>(kWritePairs), &QPushButton::clicked, this, &CCalibrationDlg::OnWritePairs);
    m_geoid = new CGeoidChoice(Item<QComboBox>(kGeoid), this);
    for (int id : {kBeforeSystem, kAfterSystem}) {
        connect(Item<QComboBox>(id), &QComboBox::activated, this, [this, id] {
            ChooseOwnSystemIfAsked(this, SystemList::Main, id, id == kBeforeSystem ? m_beforeSystem : m_afterSystem,
                                   {kBeforeSystem, kAfterSystem});
            OnChoiceChanged();
        });
    }
    for (int id : {kModel, kHeight, kSource, kBeforeZoning, kAfterZoning, kBeforeAngles, kAfterAngles}) {
        connect(Item<QComboBox>(id), &QComboBox::activated, this, &CCalibrationDlg::OnChoiceChanged);
    }

    for (int id : {kBeforeSystem, kAfterSystem}) RefillSystemList(Item<QComboBox>(id), SystemList::Main);
    if (held) {
        m_held = *held;
        m_heldName = heldName;
        m_model = ItemOfModel(held->model);
        m_height = ItemOfHeightModel(held->height ? std::optional<HeightModel>(held->height->model)
                                                  : std::nullopt);
        m_convention = ItemOfConvention(held->convention);
        m_geoid->Select(held->geoid);
        SelectCalibrationSystems(*held);
    }
    ApplyForms();
    UpdateData(false);
    if (auto* plot = Item<CResidualPlot>(kPlot)) {
        plot->Clear(held ? QStringLiteral("参数文件中没有残差：按“计算”可由公共点重新解算") : kPlotHint);
    }
    ShowHeld();
    FocusFirstControl();
}

CCalibrationDlg::~CCalibrationDlg() = default;

void CCalibrationDlg::DoDataExchange(CDataExchange& dx) {
    // The lists before the numbers, so that a number that does not read
    // never undoes a choice.
    dx.ListIndex(kModel, m_model);
    dx.ListIndex(kHeight, m_height);
    dx.ListIndex(kConvention, m_convention);
    dx.ListIndex(kBeforeSystem, m_beforeSystem);
    dx.ListIndex(kBeforeZoning, m_beforeZoning);
    dx.ListIndex(kAfterSystem, m_afterSystem);
    dx.ListIndex(kAfterZoning, m_afterZoning);
    dx.ListIndex(kSource, m_source);
    dx.ListIndex(kFormat, m_format);
    dx.ListIndex(kBeforeAngles, m_beforeAngles);
    dx.ListIndex(kAfterAngles, m_afterAngles);
    dx.Number(kBeforeMeridian, m_beforeMeridian);
    dx.Number(kAfterMeridian, m_afterMeridian);
}

void CCalibrationDlg::SelectSystems(int before, int beforeZoning, double beforeMeridian, int after,
                                    int afterZoning, double afterMeridian) {
    UpdateData(true);
    m_beforeSystem = before;
    m_beforeZoning = beforeZoning;
    m_beforeMeridian = beforeMeridian;
    m_afterSystem = after;
    m_afterZoning = afterZoning;
    m_afterMeridian = afterMeridian;
    // A model that can join them: four parameters onto a site grid.
    const std::optional<Crs> from = SideCrs(MainListEntryAt(before), beforeZoning, beforeMeridian);
    const std::optional<Crs> to = SideCrs(MainListEntryAt(after), afterZoning, afterMeridian);
    if (from && to) {
        const auto fits = [&](int model) {
            return ModelProblemText(model == 1 ? Transformation::Model::Four : Transformation::Model::Seven,
                                    m_height != 0, *from, *to)
                .empty();
        };
        if (!fits(m_model) && fits(1 - m_model)) m_model = 1 - m_model;
    }
    ApplyForms();
    UpdateData(false);
}

void CCalibrationDlg::SelectCalibrationSystems(const Transformation& calibration) {
    if (!calibration.before || !calibration.after) return;
    AssignSide(MainListSelection(*calibration.before), m_beforeSystem, m_beforeZoning, m_beforeMeridian);
    AssignSide(MainListSelection(*calibration.after), m_afterSystem, m_afterZoning, m_afterMeridian);
    // A system of one's own the calibration names has joined the lists.
    for (int id : {kBeforeSystem, kAfterSystem}) RefillSystemList(Item<QComboBox>(id), SystemList::Main);
}

void CCalibrationDlg::ApplySide(int system, int& zoning, double& meridian, int zoningId, int meridianId) {
    ApplySideForm(*this, SystemItemAt(SystemList::Main, system), zoning, meridian, zoningId, meridianId);
}

void CCalibrationDlg::ApplyForms() {
    ApplySide(m_beforeSystem, m_beforeZoning, m_beforeMeridian, kBeforeZoning, kBeforeMeridian);
    ApplySide(m_afterSystem, m_afterZoning, m_afterMeridian, kAfterZoning, kAfterMeridian);
    // Four parameters have no rotations to name; a geoid model serves a
    // height fit.
    GetDlgItem(kConvention)->setEnabled(m_model == 0);
    GetDlgItem(kGeoid)->setEnabled(m_height != 0);
    const bool files = m_source == 1;
    for (int id : {kFormat, kBeforeFile, kAfterFile}) GetDlgItem(id)->setEnabled(files);
    for (int id : {kPairs, kReadPairs, kWritePairs}) GetDlgItem(id)->setEnabled(!files);
    // B and L formats for a geodetic side, in the table and in files alike;
    // before a system is chosen everything is open, as in the main dialog.
    const auto anglesApply = [](int system) { return system < 0 || IsGeodetic(system); };
    GetDlgItem(kBeforeAngles)->setEnabled(anglesApply(m_beforeSystem));
    GetDlgItem(kAfterAngles)->setEnabled(anglesApply(m_afterSystem));
    UpdateAxes();
}

void CCalibrationDlg::UpdateAxes() {
    if (auto* pairs = Item<CPairTable>(kPairs)) {
        pairs->SetAxes(Axes(m_beforeSystem), Axes(m_afterSystem));
        const auto angles = [](int system, int item) {
            return IsGeodetic(system) ? std::optional<AngleFormat>(AnglesOfItem(item)) : std::nullopt;
        };
        pairs->SetAngles(angles(m_beforeSystem, m_beforeAngles), angles(m_afterSystem, m_afterAngles));
    }
}

void CCalibrationDlg::OnChoiceChanged() {
    UpdateData(true);
    ApplyForms();
    UpdateData(false);
}

void CCalibrationDlg::OnPickFile(bool after) {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    if (const std::optional<QString> chosen = AskForFile(true, kCommonPointFilter, kFileSuffix, this)) {
        (after ? m_afterFile : m_beforeFile) = *chosen;
        SetDlgItemText(after ? kAfterFile : kBeforeFile, QFileInfo(*chosen).fileName());
    }
    UpdateData(false);
}

std::optional<CalibrationSettings> CCalibrationDlg::ReadSettings() {
    const std::optional<zelk::Crs> before =
        SideCrs(SystemItemAt(SystemList::Main, m_beforeSystem), m_beforeZoning, m_beforeMeridian);
    const std::optional<zelk::Crs> after =
        SideCrs(SystemItemAt(SystemList::Main, m_afterSystem), m_afterZoning, m_afterMeridian);
    if (!before || !after) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    CalibrationSettings settings;
    settings.before = *before;
    settings.after = *after;
    settings.model = ModelOfItem(m_model);
    settings.height = HeightModelOfItem(m_height);
    settings.convention = ConventionOfItem(m_convention);
    if (settings.height) settings.geoid = m_geoid->Model();
    if (const std::string problem = CalibrationSettingsProblem(settings); !problem.empty()) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    return settings;
}

void CCalibrationDlg::OnCompute() {
    if (!UpdateData(true)) return;
    UpdateAxes();
    const std::optional<CalibrationSettings> settings = ReadSettings();
    if (!settings) return;

    if (m_source == 0) {
        auto* table = Item<CPairTable>(kPairs);
        CPairTable::Problem problem;
        const std::optional<CPairTable::Pairs> pairs = table->ReadPairs(problem);
        if (!pairs) {
            ShowMessage(Utf8(problem.text), kSettingCaption, MessageIcon::Warning);
            table->setCurrentCell(problem.row, problem.column);
            table->setFocus(Qt::OtherFocusReason);
            return;
        }
        // The report or the problem, as the files' run shows them; the
        // estimate on a worker thread, as many pairs take a while.
        const auto taken = std::make_shared<const CPairTable::Pairs>(std::move(*pairs));
        const CalibrationSettings chosen = *settings;
        const std::optional<EstimationRun> run = InBackground<EstimationRun>(
            *this, QStringLiteral("正在解算"), QStringLiteral("正在解算点校正…"), [taken, chosen] {
                PairLines rows;  // messages name the table's rows
                return FinishEstimation(EstimateCalibration(chosen, taken->before, taken->after, rows));
            });
        if (!run) return;  // given up
        ShowMessage(run->message.text, run->message.caption, run->message.icon);
        if (run->outcome == EstimationOutcome::Estimated) Hold(run->estimate, *settings, taken->names, {}, {});
        return;
    }

    if (m_beforeFile.isEmpty() || m_afterFile.isEmpty()) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return;
    }
    EstimationRequest request;
    request.settings = *settings;
    request.formats.format = kFormats[m_format >= 0 && m_format < 3 ? m_format : 0];
    request.formats.beforeAngles = AnglesOfItem(m_beforeAngles);
    request.formats.afterAngles = AnglesOfItem(m_afterAngles);
    request.beforeFile = ToPath(m_beforeFile);
    request.afterFile = ToPath(m_afterFile);
    const std::optional<EstimationRun> estimated =
        InBackground<EstimationRun>(*this, QStringLiteral("正在解算"), QStringLiteral("正在读取公共点并解算点校正…"),
                                    [request] { return RunFileEstimation(request); });
    if (!estimated) return;  // given up
    const EstimationRun& run = *estimated;
    ShowMessage(run.message.text, run.message.caption, run.message.icon);
    if (run.outcome != EstimationOutcome::Estimated) return;
    // The names of a dat or csv before file label the residuals and the plot.
    QStringList names;
    for (const std::string& name : run.names) names << DecodeMessageText(name);
    Hold(run.estimate, *settings, names, zelk::platform::PathText(request.beforeFile),
         zelk::platform::PathText(request.afterFile));
}

void CCalibrationDlg::Hold(const CalibrationEstimate& estimate, const CalibrationSettings& settings,
                           const QStringList& names, const std::string& beforeFile,
                           const std::string& afterFile) {
    m_estimate = estimate;
    m_held = estimate.calibration;
    m_heldName.clear();
    m_heldFiles[0] = beforeFile;
    m_heldFiles[1] = afterFile;
    const ResidualKind kind =
        settings.model == Transformation::Model::Four ? ResidualKind::Plane : ResidualKind::Spatial;
    Item<CResidualTable>(kResiduals)->ShowResiduals(estimate.residuals, kind, names, estimate.geoidCompared);
    auto* plot = Item<CResidualPlot>(kPlot);
    if (estimate.positions.empty()) {
        plot->Clear(QStringLiteral("转换后坐标系统不是平面坐标，没有残差图"));
    } else {
        plot->ShowResiduals(estimate.positions, estimate.residuals, names);
    }
    ShowHeld();
}

void CCalibrationDlg::ShowHeld() {
    auto* result = Item<QLabel>(kResult);
    if (!m_held) {
        result->setText(QStringLiteral("还没有点校正结果：请按“计算”，或“打开…”参数文件。"));
        result->setToolTip(QString());
        return;
    }
    result->setText(CalibrationTitle(*m_held) + QStringLiteral(" (") +
                    (m_heldName.isEmpty() ? QStringLiteral("未保存") : m_heldName) + QStringLiteral(")\n") +
                    CalibrationSummary(*m_held));
    result->setToolTip(CalibrationValues(*m_held));
}

void CCalibrationDlg::OnOpen() {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    QString path;
    const std::optional<Transformation> calibration = OpenParamsFile(this, path);
    if (!calibration) return;
    m_held = *calibration;
    m_heldName = QFileInfo(path).fileName();
    m_estimate.reset();
    m_model = ItemOfModel(calibration->model);
    m_height = ItemOfHeightModel(calibration->height ? std::optional<HeightModel>(calibration->height->model)
                                                     : std::nullopt);
    m_convention = ItemOfConvention(calibration->convention);
    m_geoid->Select(calibration->geoid);
    SelectCalibrationSystems(*calibration);
    ApplyForms();
    UpdateData(false);
    Item<CResidualTable>(kResiduals)->Clear(m_model == 1 ? ResidualKind::Plane : ResidualKind::Spatial);
    Item<CResidualPlot>(kPlot)->Clear(QStringLiteral("参数文件中没有残差：按“计算”可由公共点重新解算"));
    ShowHeld();
}

void CCalibrationDlg::OnSave() {
    if (!m_held) {
        ShowMessage("还没有点校正结果可保存：请先按“计算”，或“打开…”参数文件！", ApplicationName(),
                    MessageIcon::Warning);
        return;
    }
    const std::optional<QString> path = PickParamsFile(false, this);
    if (!path) return;
    std::string comment;
    if (m_estimate) {
        comment = CalibrationComment(*m_held, m_estimate->message, m_heldFiles[0], m_heldFiles[1]);
        // Each pair's residuals by the names the table shows.
        std::string listing = Utf8(Item<CResidualTable>(kResiduals)->PlainText());
        if (!listing.empty() && listing.back() == '\n') listing.pop_back();
        comment += "\nResiduals of the pairs, as the calibration dialog lists them:\n" + listing;
    } else if (m_held->before && m_held->after) {
        comment = CalibrationComment(*m_held, "(opened from " + Utf8(m_heldName) + ")", "", "");
    } else {
        comment = "Seven parameters (Bursa-Wolf), for any systems (opened from " + Utf8(m_heldName) + ").";
    }
    comment += "\n" + UseItAsLine(*path);
    if (!SaveParamsFile(this, *path, *m_held, comment)) return;
    m_heldName = QFileInfo(*path).fileName();
    ShowHeld();
}

void CCalibrationDlg::OnClear() {
    m_held.reset();
    m_heldName.clear();
    m_estimate.reset();
    Item<CResidualTable>(kResiduals)->Clear(m_model == 1 ? ResidualKind::Plane : ResidualKind::Spatial);
    Item<CResidualPlot>(kPlot)->Clear(kPlotHint);
    ShowHeld();
}

void CCalibrationDlg::OnAccept() { EndDialog(kIdOk); }

std::optional<Transformation> CCalibrationDlg::HeldStep() const {
    if (!m_held) return std::nullopt;
    Transformation step = *m_held;
    step.source = Utf8(m_heldName);
    return step;
}

void CCalibrationDlg::OnReadPairs() {
    UpdateData(true);  // a failed reading has said so; the picker opens all the same
    const std::optional<QString> path = AskForFile(true, kPairFileFilter, kFileSuffix, this);
    if (!path) return;
    const zelk::Crs before = SideCrs(MainListEntryAt(m_beforeSystem), m_beforeZoning, m_beforeMeridian)
                                 .value_or(zelk::Crs{});
    const zelk::Crs after = SideCrs(MainListEntryAt(m_afterSystem), m_afterZoning, m_afterMeridian)
                                .value_or(zelk::Crs{});
    const bool csv = QFileInfo(*path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    std::vector<PairTokens> pairs;
    CInputFile file(ToPath(*path));
    if (!file.Get()) {
        ShowMessage(kPairsOpenText, kReadFileCaption, MessageIcon::Error);
        return;
    }
    const CommonPointsResult read = ReadPairTokens(file.Get(), before, after, csv, pairs);
    if (read.status != CommonPointsResult::Status::Ok) {
        ShowMessage(read.status == CommonPointsResult::Status::TooManyPairs
                        ? "公共点超过" + std::to_string(kMaxCommonPoints) + "对，请分区解算参数！"
                    : read.status == CommonPointsResult::Status::ReadError
                        ? std::string("读公共点文件错误！")
                        : RecordProblemText("公共点文件", read.line, read.kind, read.field, read.label,
                                            read.token, "！"),
                    kReadFileCaption, MessageIcon::Error);
        return;
    }
    auto* table = Item<CPairTable>(kPairs);
    std::vector<std::array<QString, 7>> rows;
    for (const PairTokens& pair : pairs) {
        std::array<QString, 7> row;
        row[0] = DecodeMessageText(pair.name);
        for (std::size_t k = 0; k < 6; ++k) row[k + 1] = DecodeMessageText(pair.values[k]);
        rows.push_back(row);
    }
    table->SetRows(rows);
}

void CCalibrationDlg::OnWritePairs() {
    UpdateData(true);
    auto* table = Item<CPairTable>(kPairs);
    const std::vector<std::array<QString, 7>> rows = table->Rows();
    if (rows.empty()) {
        ShowMessage("点对表是空的，没有可写出的公共点！", ApplicationName(), MessageIcon::Warning);
        return;
    }
    const std::optional<QString> path = AskForFile(false, kPairFileFilter, kFileSuffix, this);
    if (!path) return;
    const bool csv = QFileInfo(*path).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    const auto axes = [](int system) {
        const zelk::SystemEntry* entry = MainListEntryAt(system);
        return entry && entry->form == zelk::Form::Geodetic     ? pointformat::Axes::Geodetic
               : entry && entry->form == zelk::Form::Geocentric ? pointformat::Axes::Geocentric
                                                                : pointformat::Axes::Plane;
    };
    std::string text;
    if (csv) AppendPairHeader(text, axes(m_beforeSystem), axes(m_afterSystem));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::array<std::string, 6> values;
        for (std::size_t k = 0; k < 6; ++k) values[k] = Utf8(rows[r][k + 1]);
        if (!AppendPairLine(text, csv, Utf8(rows[r][0]), values)) {
            ShowMessage(csv ? "点对表第" + std::to_string(r + 1) + "行没有点号：csv 点对文件每行都要有点号！"
                            : "点对表第" + std::to_string(r + 1) +
                                  "行的点号或坐标含有空格、逗号或以 # 开头，写成普通点对文件后读不回来，请改正或存为 csv！",
                        kWriteFileCaption, MessageIcon::Warning);
            return;
        }
    }
    if (!SavePairText(ToPath(*path), text)) ShowMessage("写公共点文件错误！", kWriteFileCaption, MessageIcon::Error);
}
