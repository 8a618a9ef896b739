#include "ui/background_run.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <memory>

#include "ui/dialog_template.h"
#include "ui/progress_dlg.h"

namespace {
// How long work runs before its progress is shown, and how often the
// figures are read then.
constexpr int kProgressDelayMs = 500;
constexpr int kProgressTickMs = 100;

// What the worker thread holds: the work and its counters, alive until both
// the dialog and the worker are done with them.
struct Shared {
    BackgroundProgress progress;
    std::function<void(BackgroundProgress&)> work;
};
}  // namespace

BackgroundEnd RunInBackground(CTemplateDialog& owner, BackgroundTask task) {
    auto shared = std::make_shared<Shared>();
    shared->work = std::move(task.work);
    // Deleted on this thread once the work has ended, also when the dialog
    // gave up on it long before.
    QThread* worker = QThread::create([shared] { shared->work(shared->progress); });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);

    QEventLoop wait;
    bool givenUp = false;
    QObject::connect(worker, &QThread::finished, &wait, &QEventLoop::quit);

    const QPointer<QWidget> focus = owner.focusWidget();
    owner.SetBusy(true);
    CProgressDlg progress(&owner, task.title);
    QElapsedTimer clock;
    const auto refresh = [&] {
        if (!task.activity.isEmpty()) {
            progress.SetActivity(task.activity);
            return;
        }
        const BackgroundProgress& p = shared->progress;
        const std::uint64_t size = p.inputBytes.load(std::memory_order_relaxed);
        const double fraction = size > 0 ? static_cast<double>(p.bytesRead.load(std::memory_order_relaxed)) /
                                               static_cast<double>(size)
                                         : -1.0;
        progress.SetProgress(p.points.load(std::memory_order_relaxed),
                             static_cast<double>(clock.elapsed()) / 1000.0, fraction);
    };
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, &wait, [&] {
        refresh();
        progress.show();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
        if (progress.isVisible()) refresh();
    });
    // 取消: the work is asked to stop, and given up on when it does not.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &wait, [&] {
        if (task.giveUp && !task.giveUp()) {
            giveUp.start(kProgressTickMs);  // ask again
            return;
        }
        givenUp = true;
        wait.quit();
    });
    QObject::connect(&progress, &CProgressDlg::cancelRequested, &wait, [&] {
        shared->progress.cancel = true;
        giveUp.start(kGiveUpMs);
    });

    clock.start();
    worker->start();
    show.start(kProgressDelayMs);
    tick.start(kProgressTickMs);
    wait.exec();
    // Not touched again: it deletes itself once its thread has ended. The
    // work's results are complete when its end is heard of here; a work
    // given up on may still be waiting for its read.

    tick.stop();
    show.stop();
    giveUp.stop();
    progress.hide();
    owner.SetBusy(false);
    if (focus && focus->isEnabled()) focus->setFocus(Qt::OtherFocusReason);
    return givenUp ? BackgroundEnd::GivenUp : BackgroundEnd::Done;
}

std::string NotRegularFileText(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return {};
    const char* what = S_ISDIR(info.st_mode)    ? "文件夹"
                       : S_ISFIFO(info.st_mode) ? "命名管道"
                       : S_ISSOCK(info.st_mode) ? "套接字"
                                                : "设备";
    return "“" + path.string() + "”是" + what + "，不是普通文件，无法读取！";
}

zelk::EstimationRun RunFileEstimation(const zelk::EstimationRequest& request) {
    for (const std::filesystem::path* file : {&request.beforeFile, &request.afterFile}) {
        if (std::string problem = NotRegularFileText(*file); !problem.empty()) {
            zelk::EstimationRun run;
            run.outcome = file == &request.beforeFile ? zelk::EstimationOutcome::BeforeOpenFailed
                                                      : zelk::EstimationOutcome::AfterOpenFailed;
            run.message = {std::move(problem), zelk::kReadFileCaption, zelk::MessageIcon::Error};
            return run;
        }
    }
    return zelk::RunEstimation(request);
}
