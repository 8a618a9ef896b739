// The steps dialog (转换参数): the steps of the transformation a conversion
// applies, in order, as a list. Steps are added (七参数…: the seven-parameter
// dialog; 点校正…: the calibration dialog; 打开…: the steps of a parameters
// or chain file), edited in the dialog they came from (编辑…, or a double
// click), removed and moved up and down; 保存… writes them as one chain file
// that zelk-cli reads with --params @FILE. The line below says what the
// steps do to the main dialog's two systems, or why a conversion would be
// refused.
//
// It works on its own copy: the caller takes Steps() only when the dialog
// ended with kIdOk (确认).
#pragma once

#include <optional>
#include <vector>

#include "ui/dialog_template.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

class QListWidget;

class CChainDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // from and to: the main dialog's systems, when chosen.
    CChainDlg(std::vector<zelk::Transformation> steps, std::optional<zelk::Crs> from,
              std::optional<zelk::Crs> to, QWidget* parent = nullptr);
    ~CChainDlg() override;

    const std::vector<zelk::Transformation>& Steps() const { return m_steps; }
    // The selected step, or -1; selecting as the user would.
    int Selected() const;
    void Select(int step);
    // What the line below the list says.
    QString LineText() const;
    // The list, a row a step: "2. 四参数 + 固定差高程拟合 (site.params)".
    QListWidget* List() const;

    void OnAddSeven();
    void OnAddCalibration();
    void OnOpen();
    void OnEdit();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnSave();

private:
    // Refills the list, selects `select` and follows with the buttons and
    // the line.
    void ShowSteps(int select);
    void UpdateButtons();

    std::vector<zelk::Transformation> m_steps;
    std::optional<zelk::Crs> m_from, m_to;
};
