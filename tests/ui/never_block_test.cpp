// The window never waits for a file: named pipes chosen in the dialogs are
// refused at once, and work given up on after 取消 ends in the background.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "recording_messages.h"
#include "ui/background_run.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/geoid_choice.h"
#include "ui/progress_dlg.h"
#include "ui/system_def_dlg.h"
#include "ui/templates.h"
#include "ui_test_support.h"

namespace {
namespace cal = calibration_ids;

// A named pipe in folder; a reader that opens it waits until somebody
// writes, so a dialog that opened it would hang. Opened for writing after a
// few seconds all the same, so that such a dialog fails the test rather
// than hanging it.
class Pipe {
public:
    Pipe(const QTemporaryDir& folder, const char* name)
        : path(folder.filePath(QString::fromLatin1(name))) {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        m_rescue = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (m_done.wait_for(lock, std::chrono::seconds(4), [this] { return m_finished; })) return;
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
    }
    ~Pipe() {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_rescue.join();
    }
    QString path;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_rescue;
};
}  // namespace

TEST(NeverBlock, NamedPipesChosenInTheDialogsAreRefusedAtOnce) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    Pipe pipe(folder, "pipe.params");
    const std::string refused = "“" + QFile::encodeName(pipe.path).toStdString() + "”是命名管道，不是普通文件，无法读取！";
    QElapsedTimer clock;

    // 点校正 → 打开…
    {
        CCalibrationDlg dialog;
        picker.answers = {pipe.path};
        clock.start();
        dialog.Item<QPushButton>(cal::kOpen)->click();
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "参数文件无法读取：\n" + refused);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
        EXPECT_FALSE(dialog.Held());
    }
    // 转换参数 → 打开…
    {
        messages.messages.clear();
        CBursaParamDlg dialog;
        picker.answers = {pipe.path};
        clock.start();
        dialog.Item<QPushButton>(bursa_ids::kOpenParams)->click();
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "参数文件无法读取：\n" + refused);
    }
    // A system file (自定义坐标系… → 打开…), and a geoid model file.
    {
        messages.messages.clear();
        CSystemDefDlg dialog;
        picker.answers = {pipe.path};
        clock.start();
        dialog.Item<QPushButton>(system_ids::kOpen)->click();
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "坐标系文件无法读取：\n" + refused);
    }
    {
        messages.messages.clear();
        CConvertDlg dialog;
        auto* heights = dialog.Item<QComboBox>(convert_ids::kSrcHeight);
        picker.answers = {pipe.path};
        clock.start();
        SelectItem(heights, 2);
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, refused);
        EXPECT_EQ(heights->currentIndex(), kNoGeoidItem);
    }
    // A common-point file of 点校正 and of 转换参数.
    QTemporaryDir other;
    const QString points = other.filePath(QStringLiteral("after.txt"));
    {
        QFile file(points);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("4400000 450000 50\n4401000 451000 51\n4402000 450500 52\n");
    }
    {
        messages.messages.clear();
        CCalibrationDlg dialog;
        SelectItem(dialog.Item<QComboBox>(cal::kModel), 1);
        SelectItem(dialog.Item<QComboBox>(cal::kBeforeSystem), MainIndex("beijing54-gauss"));
        SelectItem(dialog.Item<QComboBox>(cal::kAfterSystem), MainIndex("local"));
        dialog.Item<QLineEdit>(cal::kBeforeMeridian)->setText(QStringLiteral("117"));
        SelectItem(dialog.Item<QComboBox>(cal::kSource), 1);
        picker.answers = {pipe.path, points};
        dialog.Item<QPushButton>(cal::kBeforeFile)->click();
        dialog.Item<QPushButton>(cal::kAfterFile)->click();
        clock.start();
        dialog.Item<QPushButton>(cal::kCompute)->click();
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, refused);
        EXPECT_EQ(messages.messages[0].caption, kReadFileCaption);
        EXPECT_FALSE(dialog.Held());
    }
    {
        messages.messages.clear();
        CBursaParamDlg dialog;
        SelectItem(dialog.Item<QComboBox>(bursa_ids::kBeforeSystem), ParamIndex("beijing54-gauss"));
        SelectItem(dialog.Item<QComboBox>(bursa_ids::kAfterSystem), ParamIndex("wgs84-geodetic"));
        dialog.Item<QLineEdit>(bursa_ids::kBeforeMeridian)->setText(QStringLiteral("117"));
        picker.answers = {points, pipe.path};
        dialog.Item<QPushButton>(bursa_ids::kBeforeFile)->click();
        dialog.Item<QPushButton>(bursa_ids::kAfterFile)->click();
        clock.start();
        dialog.Item<QPushButton>(bursa_ids::kCompute)->click();
        EXPECT_LT(clock.elapsed(), 1000);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, refused);
    }
}

TEST(NeverBlock, WorkGivenUpAfterCancelEndsInTheBackgroundWithWhatItOwns) {
    // Work that waits until it is let go, as a read from a share that no
    // longer answers; what it holds is its own.
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        std::atomic<bool> ended{false};
    };
    auto gate = std::make_shared<Gate>();
    CBursaParamDlg dialog;
    dialog.show();
    BackgroundTask task;
    task.title = QStringLiteral("正在等待");
    task.activity = QStringLiteral("正在读取…");
    auto owned = std::make_shared<std::vector<int>>(1000, 7);
    task.work = [gate, owned](BackgroundProgress& progress) {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&gate] { return gate->open; });
        // It finds 取消 pressed, and what it owns still there.
        gate->ended = progress.cancel && (*owned)[999] == 7;
    };
    owned.reset();

    int asked = 0;
    task.giveUp = [&asked] { return ++asked > 1; };  // waits once, then gives up
    QString shown;
    QElapsedTimer sinceCancel;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* progress = dialog.findChild<CProgressDlg*>();
        if (sinceCancel.isValid() || !progress || !progress->isVisible()) return;
        shown = progress->CountLabel()->text();
        progress->CancelButton()->click();
        sinceCancel.start();
    });
    timer.start();
    EXPECT_EQ(RunInBackground(dialog, task), BackgroundEnd::GivenUp);
    timer.stop();
    EXPECT_EQ(shown, QStringLiteral("正在读取…"));
    EXPECT_EQ(asked, 2);
    EXPECT_LT(sinceCancel.elapsed(), 1000);
    EXPECT_FALSE(dialog.Busy());
    EXPECT_FALSE(gate->ended);

    {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    for (int i = 0; i < 200 && !gate->ended; ++i) WaitMs(10);
    EXPECT_TRUE(gate->ended);
}
