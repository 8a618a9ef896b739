// The about box: the program's name, version and icon.
#pragma once

#include "ui/dialog_template.h"

class CAboutDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
};
