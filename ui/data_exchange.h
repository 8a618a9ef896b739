// Moving values between a dialog's controls and its fields.
//
// Reading (controls to fields) walks the controls in the dialog's order and
// stops at the first number field that does not read: the user is told
// "请键入一个数。", that field gets the focus with its whole text selected,
// and it and the fields after it keep their previous values. An action that
// reads the fields (转换, 计算, 确认) ends there, leaving every text as typed
// and the bad one selected for correction. Writing (fields to controls)
// always walks all of them, and leaves each number field showing its start.
#pragma once

#include "ui/dialog_template.h"

inline constexpr const char* kNotANumberText = "请键入一个数。";

class CDataExchange {
public:
    CDataExchange(CTemplateDialog& dialog, bool saveAndValidate)
        : m_saveAndValidate(saveAndValidate), m_dialog(dialog) {}

    // true: controls to fields; false: fields to controls.
    const bool m_saveAndValidate;
    // A reading stopped at an unreadable field.
    bool Failed() const { return m_failed; }

    // Selection index of a drop-down list; -1 = nothing selected.
    void ListIndex(int id, int& value);
    // A number field: "%.15g" on writing, with the cursor at the start; the
    // dialog number rules on reading.
    void Number(int id, double& value);
    // A packed angle shown as a result (B or L of a converted point): with
    // nine decimals, as zelk-cli point prints it (zelk::PackedAngleText);
    // read like a number field.
    void PackedAngle(int id, double& value);
    // A check box: 0 clear, 1 checked.
    void Check(int id, int& value);

private:
    void Fail(QWidget* field);

    CTemplateDialog& m_dialog;
    bool m_failed = false;
};
