// The main dialog: source and target systems, one point on each side, the
// input and output point files with their formats and the steps of the
// transformation (转换参数: seven or three parameters, site calibrations,
// in order). A file conversion runs on a worker thread; the dialog waits
// for it with its controls disabled, shows its progress after half a
// second, and lets it be cancelled.
#pragma once

#include <QIcon>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "bursa/convention.h"
#include "bursa/seven_params.h"
#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "ui/static_link.h"
#include "ui/transformation_text.h"
#include "workflow/conversion_run.h"
#include "workflow/transformation.h"

class QMenu;
class CProgressDlg;
class CGeoidChoice;

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
    // The file area: items of the format lists (pointformat::FileFormat
    // order) and of the angle lists (AngleFormat order).
    int m_inputFormat = 0;
    int m_inputAngles = 0;
    int m_outputFormat = 0;
    int m_outputAngles = 0;
    QIcon m_icon;
    CStaticLink m_authorLink;
    CStaticLink m_siteLink;

    // 转换: convert the point and the file; the dialog stays open. Nothing
    // happens past an unreadable field. A point with x or y exactly 0 is not
    // converted and its three result fields show 0.
    void OnOK();
    // A system or zoning chosen: that side's zoning list, meridian field
    // and captions follow (see SideFormOf). 自定义坐标系… opens the system
    // dialog (ChooseOwnSystemIfAsked).
    void OnSelchangeSrcSystem();
    void OnSelchangeTgtSystem();
    void OnSelchangeSrcZoning();
    void OnSelchangeTgtZoning();
    // The file buttons: a picker in the formats' filters, the save picker
    // starting in the input file's folder. A chosen (or dropped) file sets
    // its format from its extension, unless the format was picked by hand.
    void OnPickInputFile();
    void OnPickOutputFile();
    // A file dropped onto a file button, or onto the rest of the window
    // (then it is the input). False for what is not a local file.
    bool DropFile(const QString& path, bool input);
    // 清除 of a file button's context menu: the file is no longer chosen.
    void ClearInputFile();
    void ClearOutputFile();
    // A format picked by hand in a list of the file area.
    void OnSelchangeFileFormat();
    // 转换参数: the steps in their own dialog, where they are added,
    // edited, removed and reordered.
    void OnEditParams();
    // A command of the window menu (kIdmAboutBox opens the about box).
    void OnSysCommand(int id);

    // The window menu entries the dialog adds: the about entry. Shown as
    // the dialog's context menu (right click), since window managers do not
    // let a program extend their own window menu. Null without entries.
    QMenu* SystemMenu() const { return m_systemMenu; }

    // A file conversion is running (the controls are disabled).
    bool Converting() const { return Busy(); }
    // The progress window of the running conversion, shown after half a
    // second; null when none is shown.
    CProgressDlg* Progress() const;
    // Worker threads of the file conversion (0: one per core, as zelk-cli).
    int m_conversionThreads = 0;

    // What conversions apply, in order; none: seven parameters all zero.
    // Each step's source is its name as the status line shows it: the file
    // it was read from or saved to (empty: typed, or not saved).
    std::vector<zelk::Transformation> m_steps;
    // What closing the window would lose ("七参数", "点校正": a step not
    // saved to a file); empty when nothing: Esc and the close box then
    // close at once, else they ask.
    QString UnsavedTransformation() const;

    // 点校正: the calibration dialog on the last step that is a site
    // calibration (four parameters, or a height fit), or, without one, on
    // the two systems chosen here. Confirmed, what it holds takes that
    // step's place (or is added at the end); holding nothing, the step goes.
    void OnCalibrate();
    // The place of the step 点校正 works on, or -1.
    int CalibrationStep() const;
    // The line under the buttons saying what a conversion will apply, in
    // the warning colour when that is probably a mistake.
    void UpdateTransformLine();
    const TransformationLine& TransformLine() const { return m_transformLine; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnCancel() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    // Both system lists again, with the systems of the user's own added since.
    void RefillSystemLists();
    void ApplyForm(int system, int& zoning, double& meridian, int zoningId, int meridianId, int firstCaptionId);
    void ApplySourceForm();
    void ApplyTargetForm();
    void ApplyFileForm();
    void SetFile(bool input, const QString& path);
    // A side's form (B L H, x y H, X Y Z) differs from the one shown
    // before; the new one is remembered.
    bool FormChanged(bool target);
    void ClearResults();
    std::optional<zelk::Form> m_shownForm[2];
    zelk::FileRun ConvertFilesInBackground(const zelk::ConversionRequest& request);

    QMenu* m_systemMenu = nullptr;
    bool m_inputFormatByHand = false;
    bool m_outputFormatByHand = false;

    // A side's system as its lists and meridian field show it now (the
    // field read quietly); nothing when no system is chosen.
    std::optional<zelk::Crs> ShownCrs(bool target) const;
    // The steps conversions apply: m_steps, or seven zero parameters.
    std::vector<zelk::Transformation> HeldSteps() const;
    // The geoid model of a side's heights, when its list is enabled and
    // holds one.
    std::optional<zelk::GeoidModel> SideGeoid(bool target) const;
    CGeoidChoice* m_srcHeights = nullptr;
    CGeoidChoice* m_tgtHeights = nullptr;
    TransformationLine m_transformLine;
};
