// The progress of work that runs on a worker thread (ui/background_run.h):
// for a file conversion the points written so far, the points per second
// and the share of the input read; for other work a line saying what is
// being done; and a 取消 button.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

// "已转换 1,234,567 点    每秒 2,345,678 点", the digits grouped by
// thousands whatever the locale; no rate before a tenth of a second.
QString ProgressText(std::uint64_t points, double seconds);

class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent, const QString& title = QStringLiteral("正在转换文件"));
    ~CProgressDlg() override;

    // fraction: the share of the input read, 0 to 1; negative when unknown.
    void SetProgress(std::uint64_t points, double seconds, double fraction);
    // Work that counts nothing: what is being done, and a busy bar.
    void SetActivity(const QString& text);

    // 取消 was pressed (or Esc, or the close box): the button then says
    // the run is stopping.
    bool CancelAsked() const { return m_cancelAsked; }

    QLabel* CountLabel() const { return m_count; }
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

public slots:
    void reject() override;

private:
    QLabel* m_count = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelAsked = false;
};
