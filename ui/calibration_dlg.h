// The site-calibration dialog (点校正): estimates seven parameters, three
// parameters or a four-parameter plane similarity, each with an optional
// height fit, from common points typed or pasted into a table or read from
// two files; shows each pair's residuals in a table and as arrows over the
// site; saves and opens calibration files (the ones zelk-cli reads with
// --params @FILE). The table reads and writes pair files (读入…, 写出…: the
// files zelk-cli estimate --pairs reads; .csv with a header, else plain),
// and takes '*' for a value not known: a plan-only or height-only pair.
//
// The dialog holds at most one calibration: the last one computed or
// opened, until 清除. 确认 ends the dialog with kIdOk and the caller takes
// what it holds (Held(), HeldName()); holding nothing then means that no
// calibration is to be applied. 取消 leaves the caller's as it was.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "ui/data_exchange.h"
#include "ui/dialog_template.h"
#include "workflow/calibration_run.h"
#include "workflow/transformation.h"

class CGeoidChoice;

class CCalibrationDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // The dialog starts holding `held` (may be null) under its file name.
    explicit CCalibrationDlg(const zelk::Transformation* held = nullptr, const QString& heldName = QString(),
                             QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    // Chooses the two systems (main-list indices, zoning items, meridians)
    // as the user would.
    void SelectSystems(int before, int beforeZoning, double beforeMeridian, int after, int afterZoning,
                       double afterMeridian);

    const std::optional<zelk::Transformation>& Held() const { return m_held; }
    // What it holds as a step of a chain: named (source) by HeldName().
    std::optional<zelk::Transformation> HeldStep() const;
    // The file the held calibration was opened from or saved to (its name
    // without folder); empty when it has not been saved.
    const QString& HeldName() const { return m_heldName; }

    // Fields, in exchange order.
    int m_model = 0;       // 0 七参数, 1 四参数, 2 三参数
    int m_height = 0;      // 0 无, 1 固定差, 2 平面, 3 二次曲面 (the geoid model below it: CGeoidChoice)
    int m_convention = 0;  // 0 坐标框架, 1 位置矢量
    int m_beforeSystem = -1;  // main-list index, -1 = none
    int m_afterSystem = -1;
    int m_beforeZoning = 0;
    int m_afterZoning = 0;
    int m_source = 0;  // 0 the pair table, 1 two files
    int m_format = 0;  // 0 txt (plain), 1 dat, 2 csv
    int m_beforeAngles = 0;  // B and L of a geodetic side, in AngleFormat order
    int m_afterAngles = 0;
    double m_beforeMeridian = 0.0;  // packed DMS
    double m_afterMeridian = 0.0;
    QString m_beforeFile;  // full paths; empty = none
    QString m_afterFile;

    // The settings the fields give, or nothing (and the problem shown)
    // when a system is missing or its meridian or zones cannot be used.
    std::optional<zelk::CalibrationSettings> ReadSettings();

    // 计算: estimate from the table or the files; the report or the
    // problem is shown, and a result is held and drawn.
    void OnCompute();
    void OnOpen();   // 打开…
    void OnSave();   // 保存…
    void OnClear();  // 清除
    void OnAccept(); // 确认
    // 读入…: a pair file into the table (its rows replaced); 写出…: the
    // table's rows as a pair file.
    void OnReadPairs();
    void OnWritePairs();

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    // A model, source, system or zoning chosen: the enabling follows.
    void OnChoiceChanged();
    void OnPickFile(bool after);
    // The enabling that follows the model, the source and the systems.
    void ApplyForms();
    void ApplySide(int system, int& zoning, double& meridian, int zoningId, int meridianId);
    void UpdateAxes();
    // Takes an estimate: held, drawn, listed.
    void Hold(const zelk::CalibrationEstimate& estimate, const zelk::CalibrationSettings& settings,
              const QStringList& names, const std::string& beforeFile, const std::string& afterFile);
    void ShowHeld();
    void SelectCalibrationSystems(const zelk::Transformation& calibration);

    std::optional<zelk::Transformation> m_held;
    QString m_heldName;
    std::optional<zelk::CalibrationEstimate> m_estimate;
    std::string m_heldFiles[2];          // the common-point files it was read from
    CGeoidChoice* m_geoid = nullptr;     // the 大地水准面模型 list
};

// The model of an item of the model list, and back.
zelk::Transformation::Model ModelOfItem(int item);
int ItemOfModel(zelk::Transformation::Model model);

// The height model of an item of the height list (0: none).
std::optional<zelk::HeightModel> HeightModelOfItem(int item);
int ItemOfHeightModel(const std::optional<zelk::HeightModel>& model);
