#include "ui/about_dlg.h"

#include <QPushButton>

#include "ui/resources.h"
#include "ui/templates.h"


CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(AboutDialogTemplate(), parent) {
    setWindowIcon(LoadIconResource(kIdrMainFrame));
    if (auto* ok = Item<QPushButton>(kIdOk)) connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    FocusFirstControl();
}

CAboutDlg::~CAboutDlg() = default;
