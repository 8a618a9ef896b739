// Questions the dialogs ask before something is lost: a modal box with 是
// and 否, 否 the default, so that Enter never loses anything.
#pragma once

#include <QString>

class QWidget;

// True when the user answers 是.
bool AskYesNo(QWidget* owner, const QString& caption, const QString& question);

// The save picker's question before an existing file is replaced, in the
// words Qt's pickers use ("…已存在。您想要替换它吗？" in Chinese).
QString ReplaceQuestion(const QString& path);
bool AskToReplace(QWidget* owner, const QString& path);
