// The application: binds the desktop services, runs the main dialog and
// ends when it closes.
#pragma once

#include <QApplication>

#include "ui/qt_platform.h"

class CConvertApp : public QApplication {
    Q_OBJECT
public:
    CConvertApp(int& argc, char** argv);
    ~CConvertApp() override;

    // Runs the main dialog modally; returns false once it has closed, so
    // no event loop follows.
    bool InitInstance();

private:
    QtMessageService m_messages;
    IMessageService* m_previousMessages = nullptr;
};
