#include "ui/ask.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

bool AskYesNo(QWidget* owner, const QString& caption, const QString& question) {
    QMessageBox box(QMessageBox::Warning, caption, question, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString ReplaceQuestion(const QString& path) {
    // The text of Qt's own file dialog, so that it reads the same in either
    // language.
    return QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
        .arg(QFileInfo(path).fileName());
}

bool AskToReplace(QWidget* owner, const QString& path) {
    return AskYesNo(owner, QStringLiteral("转换后文件"), ReplaceQuestion(path));
}
