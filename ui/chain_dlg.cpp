#include "ui/chain_dlg.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <utility>

#include "platform/message_box.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/parameter_files.h"
#include "ui/qt_platform.h"
#include "ui/resources.h"
#include "ui/templates.h"
#include "ui/transformation_text.h"
#include "workflow/chain.h"
#include "workflow/parameter_file.h"

using namespace zelk;
using namespace chain_ids;

CChainDlg::CChainDlg(std::vector<Transformation> steps, std::optional<Crs> from, std::optional<Crs> to,
                     QWidget* parent)
    : CTemplateDialog(ChainDialogTemplate(), parent),
      m_steps(std::move(steps)),
      m_from(std::move(from)),
      m_to(std::move(to)) {
    setWindowIcon(LoadIconResource(kIdrMainFrame));
    connect(Item<QPushButton>(kAccept), &QPushButton::clicked, this, [this] { EndDialog(kIdOk); });
    connect(Item<QPushButton>(kCancel), &QPushButton::clicked, this, &CChainDlg::reject);
    connect(Item<QPushButton>(kAddSeven), &QPushButton::clicked, this, &CChainDlg::OnAddSeven);
    connect(Item<QPushButton>(kAddCalibration), &QPushButton::clicked, this, &CChainDlg::OnAddCalibration);
    connect(Item<QPushButton>(kOpen), &QPushButton::clicked, this, &CChainDlg::OnOpen);
    connect(Item<QPushButton>(kEdit), &QPushButton::clicked, this, &CChainDlg::OnEdit);
    connect(Item<QPushButton>(kRemove), &QPushButton::clicked, this, &CChainDlg::OnRemove);
    connect(Item<QPushButton>(kUp), &QPushButton::clicked, this, &CChainDlg::OnMoveUp);
    connect(Item<QPushButton>(kDown), &QPushButton::clicked, this, &CChainDlg::OnMoveDown);
    connect(Item<QPushButton>(kSave), &QPushButton::clicked, this, &CChainDlg::OnSave);
    connect(List(), &QListWidget::currentRowChanged, this, &CChainDlg::UpdateButtons);
    connect(List(), &QListWidget::itemDoubleClicked, this, &CChainDlg::OnEdit);
    Item<QLabel>(kLine)->setWordWrap(true);
    ShowSteps(m_steps.empty() ? -1 : 0);
    FocusFirstControl();
}

CChainDlg::~CChainDlg() = default;

QListWidget* CChainDlg::List() const { return Item<QListWidget>(kSteps); }

int CChainDlg::Selected() const {
    const int row = List()->currentRow();
    return row >= 0 && row < static_cast<int>(m_steps.size()) ? row : -1;
}

void CChainDlg::Select(int step) { List()->setCurrentRow(step); }

QString CChainDlg::LineText() const { return Item<QLabel>(kLine)->text(); }

void CChainDlg::ShowSteps(int select) {
    QListWidget* list = List();
    list->clear();
    for (std::size_t k = 0; k < m_steps.size(); ++k) {
        auto* item = new QListWidgetItem(QString::number(k + 1) + QStringLiteral(". ") + StepText(m_steps[k]));
        item->setToolTip(CalibrationValues(m_steps[k]));
        list->addItem(item);
    }
    list->setCurrentRow(select);

    // What the steps do to the main dialog's systems.
    auto* line = Item<QLabel>(kLine);
    const TransformationLine described = DescribeTransformation(m_steps, m_from, m_to);
    QString text = m_steps.empty() ? QStringLiteral("没有转换步骤：七参数全为零，同一基准内只换算坐标形式。") : QString();
    if (!m_from || !m_to) {
        text += QStringLiteral("主窗口还没有选好转换前、后坐标系统。");
    } else if (described.warning) {
        // The conversion's own message when it would be refused, else why
        // it is probably a mistake.
        const std::string problem = ChainProblemText(*m_from, *m_to, m_steps.empty() ? std::vector<Transformation>{Transformation::Seven(SevenParams{})} : m_steps);
        text += problem.empty() ? described.text.section(QStringLiteral("："), 0, 0).mid(3) + QStringLiteral("。")
                                : QString::fromStdString(problem);
    } else {
        text += QStringLiteral("可以从") + QString::fromStdString(SystemText(*m_from)) + QStringLiteral("转换到") +
                QString::fromStdString(SystemText(*m_to)) + QStringLiteral("。");
    }
    line->setText(text);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, described.warning ? WarningColor() : this->palette().color(QPalette::WindowText));
    line->setPalette(palette);
    UpdateButtons();
}

void CChainDlg::UpdateButtons() {
    const int at = Selected();
    const int n = static_cast<int>(m_steps.size());
    GetDlgItem(kEdit)->setEnabled(at >= 0);
    GetDlgItem(kRemove)->setEnabled(at >= 0);
    GetDlgItem(kUp)->setEnabled(at > 0);
    GetDlgItem(kDown)->setEnabled(at >= 0 && at + 1 < n);
    GetDlgItem(kSave)->setEnabled(n > 0);
}

void CChainDlg::OnAddSeven() {
    CBursaParamDlg dialog(nullptr, this);
    if (dialog.DoModal() != kIdOk) return;
    m_steps.push_back(dialog.Step());
    ShowSteps(static_cast<int>(m_steps.size()) - 1);
}

void CChainDlg::OnAddCalibration() {
    CCalibrationDlg dialog(nullptr, QString(), this);
    if (dialog.DoModal() != kIdOk) return;
    const std::optional<Transformation> step = dialog.HeldStep();
    if (!step) return;
    m_steps.push_back(*step);
    ShowSteps(static_cast<int>(m_steps.size()) - 1);
}

void CChainDlg::OnOpen() {
    QString path;
    const std::optional<std::vector<Transformation>> read = OpenStepsFile(this, path);
    if (!read) return;
    for (const Transformation& step : *read) m_steps.push_back(step);
    ShowSteps(static_cast<int>(m_steps.size()) - 1);
}

void CChainDlg::OnEdit() {
    const int at = Selected();
    if (at < 0) return;
    Transformation& step = m_steps[static_cast<std::size_t>(at)];
    if (step.model == Transformation::Model::Seven && !step.height) {
        // Seven parameters alone: the dialog they are typed in.
        CBursaParamDlg dialog(&step.seven, this, step.convention);
        dialog.HoldStep(step);
        if (dialog.DoModal() != kIdOk) return;
        step = dialog.Step();
    } else {
        CCalibrationDlg dialog(&step, QString::fromUtf8(step.source.c_str()), this);
        if (dialog.DoModal() != kIdOk) return;
        if (const std::optional<Transformation> held = dialog.HeldStep()) {
            step = *held;
        } else {
            m_steps.erase(m_steps.begin() + at);  // 清除 and 确认: the step goes
            ShowSteps(std::min(at, static_cast<int>(m_steps.size()) - 1));
            return;
        }
    }
    ShowSteps(at);
}

void CChainDlg::OnRemove() {
    const int at = Selected();
    if (at < 0) return;
    m_steps.erase(m_steps.begin() + at);
    ShowSteps(std::min(at, static_cast<int>(m_steps.size()) - 1));
}

void CChainDlg::OnMoveUp() {
    const int at = Selected();
    if (at <= 0) return;
    std::swap(m_steps[static_cast<std::size_t>(at)], m_steps[static_cast<std::size_t>(at - 1)]);
    ShowSteps(at - 1);
}

void CChainDlg::OnMoveDown() {
    const int at = Selected();
    if (at < 0 || at + 1 >= static_cast<int>(m_steps.size())) return;
    std::swap(m_steps[static_cast<std::size_t>(at)], m_steps[static_cast<std::size_t>(at + 1)]);
    ShowSteps(at + 1);
}

void CChainDlg::OnSave() {
    if (m_steps.empty()) return;
    const std::optional<QString> path = PickParamsFile(false, this);
    if (!path) return;
    std::string error;
    if (!SaveStepsFile(ToPath(*path), m_steps, ChainComment(m_steps, *path), error)) ShowParamsWriteProblem(error);
}
