// The main dialog: source and target systems, one point on each side, the
// input and output point files and the current seven parameters.
#pragma once

#include <QIcon>
#include <QString>
#include <memory>

#include "bursa/seven_params.h"
#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "ui/static_link.h"

class QMenu;

// The command id of the about entry of the window menu.
inline constexpr int kIdmAboutBox = 0x0010;

class CConvertDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CConvertDlg(QWidget* parent = nullptr);
    ~CConvertDlg() override;


    // Fields, in the order the dialog declares them.
    QString m_outputPath;  // chosen with 转换后文件; empty = none
    QString m_inputPath;   // chosen with 转换前文件
    std::unique_ptr<SevenParams> m_params;  // the current seven parameters
    int m_srcSystem = -1;  // main-list index, -1 = none selected
    int m_tgtSystem = -1;
    int m_srcZoning = 0;  // zoning item: 0 the meridian field, 1 3-degree, 2 6-degree zones
    int m_tgtZoning = 0;
    double m_srcMeridian = 0.0;  // packed DMS
    double m_tgtMeridian = 0.0;
    double m_srcX = 0.0;
    double m_srcY = 0.0;
    double m_tgtY = 0.0;
    double m_srcZ = 0.0;
    double m_tgtZ = 0.0;
    double m_tgtX = 0.0;
    int m_withNames = 0;  // each line of the point files starts with a name
    QIcon m_icon;
    CStaticLink m_authorLink;
    CStaticLink m_siteLink;

    // 转换: convert the point and the file; the dialog stays open. Nothing
    // happens past an unreadable field. A point with x or y exactly 0 is not
    // converted and its three result fields show 0.
    void OnOK();
    // A system or zoning chosen: that side's zoning list, meridian field
    // and captions follow (see SideFormOf).
    void OnSelchangeSrcSystem();
    void OnSelchangeTgtSystem();
    void OnSelchangeSrcZoning();
    void OnSelchangeTgtZoning();
    void OnPickInputFile();
    void OnPickOutputFile();
    // 转换参数: edit the parameters in their own dialog.
    void OnEditParams();
    // A command of the window menu (kIdmAboutBox opens the about box).
    void OnSysCommand(int id);

    // The window menu entries the dialog adds: the about entry. Shown as
    // the dialog's context menu (right click), since window managers do not
    // let a program extend their own window menu. Null without entries.
    QMenu* SystemMenu() const { return m_systemMenu; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnInitDialog();
    void ApplyForm(int system, int& zoning, int zoningId, int meridianId, int firstCaptionId);
    void ApplySourceForm();
    void ApplyTargetForm();
    void PickPointFile(bool open, const char* filter, QString& path, int buttonId);

    QMenu* m_systemMenu = nullptr;
};
