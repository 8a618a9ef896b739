#include "ui/progress_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string>

#include "ui/dialog_template.h"
#include "ui/templates.h"


namespace {
QString Grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    }
    return QString::fromStdString(digits);
}
}  // namespace

QString ProgressText(std::uint64_t points, double seconds) {
    QString text = QStringLiteral("已转换 ") + Grouped(points) + QStringLiteral(" 点");
    if (seconds >= 0.1) {
        const double rate = std::floor(static_cast<double>(points) / seconds + 0.5);
        text += QStringLiteral("    每秒 ") + Grouped(static_cast<std::uint64_t>(rate)) +
                QStringLiteral(" 点");
    }
    return text;
}

CProgressDlg::CProgressDlg(QWidget* parent, const QString& title) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(title);
    const DialogTemplate& main = ConvertDialogTemplate();
    setFont(DialogFont(main.fontFace, main.pointSize));

    m_count = new QLabel(ProgressText(0, 0.0), this);
    m_count->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    // Wide enough for ten million points at ten million a second.
    const int width = fontMetrics().horizontalAdvance(ProgressText(99999999, 9.9)) +
                      fontMetrics().averageCharWidth() * 8;
    setMinimumWidth(width);
    setFixedHeight(sizeHint().height());
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::SetProgress(std::uint64_t points, double seconds, double fraction) {
    m_count->setText(ProgressText(points, seconds));
    if (fraction < 0.0) {
        m_bar->setRange(0, 0);  // busy, without a share
    } else {
        m_bar->setRange(0, 1000);
        m_bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000.0));
    }
}

void CProgressDlg::SetActivity(const QString& text) {
    m_count->setText(text);
    m_bar->setRange(0, 0);
}

void CProgressDlg::reject() {
    // The window stays until the run has stopped; the dialog that owns it
    // closes it then.
    if (m_cancelAsked) return;
    m_cancelAsked = true;
    m_cancel->setEnabled(false);
    m_cancel->setText(QStringLiteral("正在取消…"));
    emit cancelRequested();
}
