// The application: binds the desktop services, runs the main dialog and
// ends when it closes.
#pragma once

#include <QApplication>
#include <QTranslator>

#include "ui/qt_platform.h"

// The caption of the plain message boxes (the end of a file conversion, a
// number that does not read): the program's display name.
inline constexpr const char* kMessageCaption = "ZELK";

class CConvertApp : public QApplication {
    Q_OBJECT
public:
    CConvertApp(int& argc, char** argv);
    ~CConvertApp() override;

    // Runs the main dialog modally; returns false once it has closed, so
    // no event loop follows.
    bool InitInstance();

    // Qt's own texts are Chinese (the translation was found).
    bool QtSpeaksChinese() const { return m_qtChinese; }

private:
    QtMessageService m_messages;
    zelk::IMessageService* m_previousMessages = nullptr;
    QTranslator m_qtTranslation;
    bool m_qtChinese = false;
};
