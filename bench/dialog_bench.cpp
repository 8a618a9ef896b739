// Converts a point file through the main dialog, as a user does with the
// 转换 button, and prints how long the press took in milliseconds: from the
// click to the completion message, the conversion running on the dialog's
// worker thread with its progress window. The systems and parameters are
// those of bench/compare-proj: Beijing 1954 Gauss-Kruger on 117 to WGS84
// geodetic. Run with QT_QPA_PLATFORM=offscreen.
//   zelk-bench-dialog INPUT OUTPUT
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "ui/system_lists.h"
#include "ui/convert_dlg.h"
#include "ui/qt_platform.h"
#include "ui/templates.h"
#include "workflow/coordinate_system.h"

using namespace zelk;

namespace {
// The messages, kept instead of shown: the run must not wait for a person.
class QuietMessages final : public IMessageService {
public:
    void Show(const std::string& text, const std::string&, MessageIcon) override { last = text; }
    std::string last;
};

// Answers the two file pickers with the paths given.
class GivenFiles final : public IFilePicker {
public:
    GivenFiles(QString input, QString output) : m_paths{std::move(input), std::move(output)} {}
    std::optional<QString> Pick(const FilePickRequest& request) override {
        return request.open ? m_paths[0] : m_paths[1];
    }

private:
    QString m_paths[2];
};

void Choose(CTemplateDialog& dialog, int listId, const char* system) {
    auto* list = dialog.Item<QComboBox>(listId);
    const int item = MainListIndexOf(*zelk::FindSystem(system));
    list->setCurrentIndex(item);
    emit list->activated(item);
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: zelk-bench-dialog INPUT OUTPUT\n", stderr);
        return 2;
    }
    QuietMessages messages;
    SetMessageService(&messages);
    GivenFiles files(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    SetFilePicker(&files);

    CConvertDlg dialog;
    dialog.show();
    Choose(dialog, convert_ids::kSrcSystem, "beijing54-gauss");
    Choose(dialog, convert_ids::kTgtSystem, "wgs84-geodetic");
    dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("117"));
    dialog.m_steps = {Transformation::Seven(SevenParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87})};
    dialog.Item<QPushButton>(convert_ids::kInputFile)->click();
    dialog.Item<QPushButton>(convert_ids::kOutputFile)->click();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    dialog.Item<QPushButton>(convert_ids::kConvert)->click();
    const qint64 ms = clock.elapsed();
    if (messages.last != kConversionDoneText) {
        std::fprintf(stderr, "zelk-bench-dialog: %s\n", messages.last.c_str());
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(ms));
    SetFilePicker(nullptr);
    SetMessageService(nullptr);
    return 0;
}
