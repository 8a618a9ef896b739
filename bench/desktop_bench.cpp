// The desktop program as a user runs it, with a clock on the wait for one
// file conversion: the application object of `zelk` (its real message
// boxes, Qt's Chinese texts, the display's platform), the main dialog
// running modally in the application's event loop, the systems chosen, the
// parameters file read and the two files dropped onto their buttons. Then
// it waits for a click: bench/compare-desktop sends one from outside with
// xdotool, through the X server, onto 转换.
//
// The clock runs from the press of the mouse button reaching 转换 to the
// first paint of the message box that ends the conversion, the moment the
// user sees it. The box is then closed, as a user would, and the program
// ends. Printed on standard output:
//   ready X Y           when the window is on screen: where to click
//   press-to-box MS     milliseconds from the press to the painted box
//   cpu MS              processor time of the whole program meanwhile
//   gui-cpu MS          processor time of the thread of the user interface
//   message TEXT        the box's text
//
//   zelk-bench-desktop INPUT OUTPUT PARAMS  (PARAMS: a parameters file
//   naming both systems, e.g. examples/bj54-to-wgs84.params)
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <string>
#include <utility>

#include "platform/interrupt_cleanup.h"
#include "platform/number_text.h"
#include "ui/convert_app.h"
#include "ui/convert_dlg.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {
double Milliseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Chooses a side's system, zoning and meridian as a user does with the
// lists and the field.
void Choose(CConvertDlg& dialog, int listId, int zoningId, int meridianId, const Crs& crs) {
    const SideSelection side = MainListSelection(crs);
    for (const auto& [id, item] : {std::pair{listId, side.system}, std::pair{zoningId, side.zoning}}) {
        auto* list = dialog.Item<QComboBox>(id);
        list->setCurrentIndex(item);
        emit list->activated(item);
    }
    dialog.Item<QLineEdit>(meridianId)->setText(QString::fromStdString(FormatDialogNumber(side.meridian)));
}

// Watches every event of the program: the press on 转换 starts the clock,
// the first paint of a message box stops it.
class Stopwatch final : public QObject {
public:
    Stopwatch(CConvertDlg& dialog) : m_dialog(dialog) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == &m_dialog && !m_ready) {
            // Once the window is on screen: where 转换 is.
            m_ready = true;
            QTimer::singleShot(200, &m_dialog, [this] {
                QWidget* button = m_dialog.GetDlgItem(convert_ids::kConvert);
                const QPoint centre = button->mapToGlobal(button->rect().center());
                std::printf("ready %d %d\n", centre.x(), centre.y());
                std::fflush(stdout);
            });
        } else if (event->type() == QEvent::MouseButtonPress && watched == m_dialog.GetDlgItem(convert_ids::kConvert) &&
            m_start < 0) {
            m_start = Milliseconds(CLOCK_MONOTONIC);
            m_cpu = Milliseconds(CLOCK_PROCESS_CPUTIME_ID);
            m_guiCpu = Milliseconds(CLOCK_THREAD_CPUTIME_ID);
        } else if (event->type() == QEvent::Paint && m_start >= 0 && !m_stopped) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                m_stopped = true;
                std::printf("press-to-box %.1f\ncpu %.1f\ngui-cpu %.1f\nmessage %s\n",
                            Milliseconds(CLOCK_MONOTONIC) - m_start,
                            Milliseconds(CLOCK_PROCESS_CPUTIME_ID) - m_cpu,
                            Milliseconds(CLOCK_THREAD_CPUTIME_ID) - m_guiCpu, box->text().toUtf8().constData());
                std::fflush(stdout);
                // 确定, and the program closes.
                QTimer::singleShot(0, box, &QMessageBox::accept);
                QTimer::singleShot(0, &m_dialog, [this] { m_dialog.EndDialog(kIdCancel); });
            }
        }
        return false;
    }

private:
    CConvertDlg& m_dialog;
    double m_start = -1.0, m_cpu = 0.0, m_guiCpu = 0.0;
    bool m_stopped = false;
    bool m_ready = false;
};
}  // namespace

int main(int argc, char** argv) {
    interruptcleanup::InstallHandlers();
    CConvertApp app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: zelk-bench-desktop INPUT OUTPUT PARAMS\n", stderr);
        return 2;
    }
    std::string error;
    const std::optional<Transformation> params = ReadParametersFile(argv[3], error);
    if (!params || !params->before || !params->after) {
        std::fprintf(stderr, "zelk-bench-desktop: %s: %s\n", argv[3],
                     error.empty() ? "the file names no systems" : error.c_str());
        return 2;
    }

    CConvertDlg dialog;
    Choose(dialog, convert_ids::kSrcSystem, convert_ids::kSrcZoning, convert_ids::kSrcMeridian, *params->before);
    Choose(dialog, convert_ids::kTgtSystem, convert_ids::kTgtZoning, convert_ids::kTgtMeridian, *params->after);
    // What 转换参数 → 打开… → 确认 leaves: one step, named by its file.
    Transformation step = *params;
    step.source = std::filesystem::path(argv[3]).filename().string();
    dialog.m_steps = {step};
    dialog.UpdateTransformLine();
    dialog.DropFile(QString::fromLocal8Bit(argv[1]), true);
    dialog.DropFile(QString::fromLocal8Bit(argv[2]), false);

    Stopwatch stopwatch(dialog);
    app.installEventFilter(&stopwatch);
    dialog.DoModal();
    return 0;
}
