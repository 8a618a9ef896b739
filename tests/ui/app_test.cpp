// The application object in a program of its own (one application per
// process): the name it takes from its program file, the real message box
// it binds, and the main dialog's run.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "platform/message_box.h"
#include "ui/convert_app.h"
#include "ui/convert_dlg.h"
#include "ui_test_support.h"

TEST(Application, NameFromTheProgramFile) {
    EXPECT_EQ(ApplicationName(),
              QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString());
    EXPECT_EQ(ApplicationName(), "ui_app_tests");
}

TEST(Application, MessagesShowAsModalBoxes) {
    struct Seen {
        QString text, caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
    };
    for (MessageIcon icon : {MessageIcon::Warning, MessageIcon::Error}) {
        Seen seen;
        auto ran = WhenModal([&seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            seen = {box->text(), box->windowTitle(), box->icon(),
                    static_cast<int>(box->buttons().size())};
            box->button(QMessageBox::Ok)->click();
        });
        ShowMessage("读转换前文件错误！", "读文件出错", icon);
        ASSERT_TRUE(*ran);
        EXPECT_EQ(seen.text, QStringLiteral("读转换前文件错误！"));
        EXPECT_EQ(seen.caption, QStringLiteral("读文件出错"));
        EXPECT_EQ(seen.icon, icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning);
        EXPECT_EQ(seen.buttons, 1);
    }
}

TEST(Application, RunsTheMainDialogAndEndsWithIt) {
    auto app = static_cast<CConvertApp*>(QCoreApplication::instance());
    auto ran = WhenModal([](QWidget* w) {
        EXPECT_NE(qobject_cast<CConvertDlg*>(w), nullptr);
        w->close();
    });
    EXPECT_FALSE(app->InitInstance());
    EXPECT_TRUE(*ran);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    CConvertApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
