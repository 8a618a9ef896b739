// The application object in a program of its own (one application per
// process): the name it takes from its program file, the real message box
// it binds, and the main dialog's run.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>

#include "platform/message_box.h"
#include "ui/convert_app.h"
#include "ui/convert_dlg.h"
#include "ui_test_support.h"

using namespace zelk;

TEST(Application, CaptionIsTheDisplayNameWhateverTheProgramFile) {
    EXPECT_NE(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(),
              QStringLiteral("ZELK"));
    EXPECT_EQ(ApplicationName(), "ZELK");
    // A message without a caption of its own gets the same.
    auto ran = WhenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("ZELK"));
        w->close();
    });
    ShowMessage("文件转换完成!", "", MessageIcon::Warning);
    EXPECT_TRUE(*ran);
}

TEST(Application, QtSpeaksChineseWhenItsTranslationIsInstalled) {
    auto app = static_cast<CConvertApp*>(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_zh_CN.qm"))) {
        EXPECT_FALSE(app->QtSpeaksChinese());
        GTEST_SKIP() << "no qtbase_zh_CN.qm in " << folder.toStdString();
    }
    EXPECT_TRUE(app->QtSpeaksChinese());
    QMessageBox box(QMessageBox::Warning, QStringLiteral("ZELK"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    // The save picker's question before replacing a file.
    const char* question = "%1 already exists.\nDo you want to replace it?";
    EXPECT_NE(QCoreApplication::translate("QFileDialog", question), QString::fromLatin1(question));

    // Without the file Qt quietly stays as it is.
    QTemporaryDir empty;
    QTranslator missing;
    EXPECT_FALSE(InstallQtTranslation(missing, empty.path()));
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
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
