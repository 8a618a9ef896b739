// The real desktop services, driven from inside their own modal loops: the
// file picker's set-up and answers, and the text of fields as bytes.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include "ui_test_support.h"

using namespace zelk;

namespace {
FilePickRequest Request(bool open, QWidget* owner) {
    FilePickRequest request;
    request.open = open;
    request.filter = QStringLiteral("转换前坐标UVW(*.txt)|*.txt||");
    request.defaultSuffix = QStringLiteral("txt");
    request.owner = owner;
    return request;
}
}  // namespace

TEST(RealFilePicker, OpenAcceptsANewNameAndAddsTheSuffix) {
    QTemporaryDir folder;
    QWidget owner;
    auto ran = WhenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &owner);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("转换前坐标UVW(*.txt) (*.txt)")});
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
        dialog->setDirectory(folder.path());
        dialog->selectFile(QStringLiteral("新点"));
        static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    const std::optional<QString> chosen = FilePicker().Pick(Request(true, &owner));
    ASSERT_TRUE(*ran);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, folder.filePath(QStringLiteral("新点.txt")));
    EXPECT_FALSE(QFile::exists(*chosen));
}

TEST(RealFilePicker, CancelGivesNothing) {
    auto ran = WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(FilePicker().Pick(Request(true, nullptr)).has_value());
    EXPECT_TRUE(*ran);
}

TEST(RealFilePicker, SaveAsksBeforeReplacingAFile) {
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("old.txt"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("1 2 3\n");
    }
    bool asked = false;
    auto ran = WhenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->setDirectory(folder.path());
        dialog->selectFile(QStringLiteral("old.txt"));
        WhenModal([&asked](QWidget* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(question, nullptr);
            asked = true;
            question->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    const std::optional<QString> chosen = FilePicker().Pick(Request(false, nullptr));
    ASSERT_TRUE(*ran);
    EXPECT_TRUE(asked);
    EXPECT_EQ(chosen.value_or(QString()), existing);
}

TEST(FieldBytes, ChineseCharactersCountTwoBytesAndAreNotNumbers) {
    EXPECT_EQ(CodePageBytes(QStringLiteral(" 12.5\t")), " 12.5\t");
    EXPECT_EQ(CodePageBytes(QStringLiteral("度")).size(), 2u);
    EXPECT_EQ(CodePageBytes(QStringLiteral("1度2")).size(), 4u);
    EXPECT_EQ(CodePageBytes(QString::fromUtf8("\xF0\x9F\x98\x80")).size(), 2u);  // one character
    // A full-width space is not a blank of the number rules.
    EXPECT_EQ(CodePageBytes(QStringLiteral("\u3000")).find(' '), std::string::npos);
}

TEST(FieldBytes, MessagesQuoteGbkNamesReadably) {
    EXPECT_EQ(DecodeMessageText("文件转换完成!"), QStringLiteral("文件转换完成!"));
    // "点1" as GBK bytes inside an otherwise UTF-8 message.
    const std::string mixed = std::string("数据“") + "\xB5\xE3" + "1”";
    EXPECT_EQ(DecodeMessageText(mixed), QStringLiteral("数据“点1”"));
    EXPECT_EQ(DecodeMessageText("\xB5\xE3" "1"), QStringLiteral("点1"));
    // A GBK character whose second byte is ASCII stays one character.
    EXPECT_EQ(DecodeMessageText("\x81\x40"), QStringLiteral("丂"));
    // Bytes that are neither: one replacement character each.
    EXPECT_EQ(DecodeMessageText("a\xFF"), QStringLiteral("a\uFFFD"));
}

TEST(FieldBytes, PathsRoundTrip) {
    const QString name = QStringLiteral("/tmp/坐标 files/点.txt");
    EXPECT_EQ(FromPath(ToPath(name)), name);
    EXPECT_EQ(ToPath(name).filename().string(), std::string("点.txt"));
}
