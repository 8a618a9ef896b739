// The seven-parameter dialog: shows and edits the seven parameters and
// estimates them from two files of common points.
//
// It works on its own copy: the caller reads the seven values back (by
// name, CopyTo) and their convention only when the dialog ended with kIdOk
// ("确认").
//
// The convention list says how the three rotations are to be read; choosing
// the other one leaves the numbers as they are. The direction list says
// which way conversions apply them (反算: the exact inverse); estimating,
// saving and opening do not touch it. An estimate is written in
// the convention chosen. 保存… writes the values, their convention and the
// two systems (when both are chosen) as a parameters file; 打开… reads a
// seven-parameter file back, its convention and systems included. After
// 计算 the table on the right lists each pair's residuals and the label
// below it the parameters' standard errors.
//
// The fields show 15 significant digits. While they still show an
// estimate (the same text, convention and systems), the estimate is what
// 保存… writes (every digit, the report, the systems and the files: the
// file zelk-cli estimate --save writes) and what Step() gives; so too a
// step opened or saved keeps its digits and its file's name.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <utility>

#include "bursa/convention.h"
#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"
#include "ui/data_exchange.h"
#include "ui/dialog_template.h"

namespace zelk {
struct EstimationRun;
}

class CBursaParamDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // params may be null: the seven values then start at 0.
    explicit CBursaParamDlg(const zelk::SevenParams* params = nullptr, QWidget* parent = nullptr,
                            zelk::RotationConvention convention = zelk::RotationConvention::CoordinateFrame);
    ~CBursaParamDlg() override;

    // The seven values into a record, field by field by name.
    void CopyTo(zelk::SevenParams& params) const;
    // The convention the seven values are written in.
    zelk::RotationConvention Convention() const;
    // 反算 chosen in the direction list: conversions apply the values
    // backwards, from the after system to the before system, by their exact
    // inverse (the values were made for the opposite direction).
    bool Inverse() const { return m_direction == 1; }
    void SetInverse(bool inverse) {
        m_direction = inverse ? 1 : 0;
        UpdateData(false);
    }
    // Chooses the two systems the values were made for, as the user would.
    void SelectSystems(const zelk::Crs& before, const zelk::Crs& after);
    // The two systems chosen (with their zoning and meridians), when both
    // are: the systems the values are for.
    std::optional<std::pair<zelk::Crs, zelk::Crs>> ChosenSystems() const;
    // Starts on a step (seven parameters without a height fit): its values,
    // convention and systems shown, its digits and name kept while shown.
    void HoldStep(const zelk::Transformation& step);
    // What the dialog holds: the seven values in their convention, the
    // systems when both are chosen; the estimate or the step held, with
    // every digit and its name, while the fields still show it.
    zelk::Transformation Step() const;

    // Fields, in the order the dialog declares them.
    QString m_afterFile;   // full path chosen with FILE2; empty = none
    QString m_beforeFile;  // full path chosen with FILE1
    int m_beforeSystem = -1;
    double m_beforeMeridian = 0.0;  // packed DMS
    double m_afterMeridian = 0.0;
    double m_dX0 = 0.0;  // m
    double m_dY0 = 0.0;
    double m_dZ0 = 0.0;
    double m_betaX = 0.0;  // arc-seconds
    double m_betaY = 0.0;
    double m_betaZ = 0.0;
    double m_K = 0.0;  // ppm
    int m_afterSystem = -1;
    int m_beforeZoning = 0;  // zoning item: 0 the meridian field, 1 3-degree, 2 6-degree zones
    int m_afterZoning = 0;
    int m_convention = 0;  // convention item: 0 坐标框架, 1 位置矢量
    int m_direction = 0;   // direction item: 0 正算, 1 反算

    // 计算: estimate from the two files; the dialog stays open. Nothing
    // happens past an unreadable field.
    void OnOK();
    // 确认: read every field and close with kIdOk if they all read.
    void OnAccept();
    // A system or zoning chosen: that side's zoning list and meridian
    // field follow (see SideFormOf); the captions stay. 自定义坐标系…
    // opens the system dialog (ChooseOwnSystemIfAsked).
    void OnSelchangeBeforeSystem();
    void OnSelchangeAfterSystem();
    void OnSelchangeBeforeZoning();
    void OnSelchangeAfterZoning();
    void OnPickBeforeFile();
    void OnPickAfterFile();
    // 打开…: a seven-parameter file into the fields, the lists and the
    // convention. 保存…: the fields as a parameters file.
    void OnOpenParams();
    void OnSaveParams();

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    void ShowEstimate(const zelk::EstimationRun& run);
    void ClearEstimate();
    zelk::SevenParams FieldValues() const;
    void SetFieldValues(const zelk::SevenParams& p);  // the seven members, not the fields on screen
    void PickCommonPointFile(const char* filter, QString& path, int buttonId);
    void ApplyForm(int system, int& zoning, double& meridian, int zoningId, int meridianId);
    // Both system lists again, with the systems of the user's own added since.
    void RefillSystemLists();
    void ApplyBeforeForm();
    void ApplyAfterForm();

    // The fields as they stand: values, convention, systems when both are
    // chosen.
    zelk::Transformation FieldStep() const;
    // Whether the fields show held (the same text of every value, the same
    // convention and systems).
    bool Shows(const zelk::Transformation& held) const;

    // The last estimate (in the convention then chosen, with its systems),
    // its report and the names of its files, for Step() and 保存….
    std::optional<zelk::Transformation> m_estimate;
    std::string m_report;
    std::string m_estimateFiles[2];
    // A step opened, saved or handed in, under its name.
    std::optional<zelk::Transformation> m_held;
};
