#include "ui/convert_app.h"

#include "platform/message_box.h"
#include "ui/convert_dlg.h"
#include "ui/resources.h"

using namespace zelk;

CConvertApp::CConvertApp(int& argc, char** argv) : QApplication(argc, argv) {
    SetApplicationName(kMessageCaption);
    // OK, Cancel, Save As and the overwrite question in Chinese, like the
    // dialogs around them; English when Qt's translations are not installed.
    m_qtChinese = InstallQtTranslation(m_qtTranslation);
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
