#include "ui/convert_app.h"

#include <QFileInfo>

#include "platform/message_box.h"
#include "ui/convert_dlg.h"
#include "ui/resources.h"

CConvertApp::CConvertApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The caption of the plain message boxes: the program file's name
    // without folder and extension.
    const QString name = QFileInfo(applicationFilePath()).completeBaseName();
    if (!name.isEmpty()) SetApplicationName(name.toStdString());
    setWindowIcon(LoadIconResource(kIdrMainFrame));
    m_previousMessages = SetMessageService(&m_messages);
}

CConvertApp::~CConvertApp() { SetMessageService(m_previousMessages); }

bool CConvertApp::InitInstance() {
    {
        CConvertDlg dialog;
        dialog.DoModal();
    }
    return false;
}
