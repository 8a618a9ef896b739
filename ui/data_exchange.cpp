#include "ui/data_exchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/qt_platform.h"
#include "workflow/angle_text.h"

using namespace zelk;

void CDataExchange::ListIndex(int id, int& value) {
    if (m_failed) return;
    auto* list = m_dialog.Item<QComboBox>(id);
    if (!list) return;
    if (m_saveAndValidate) {
        value = list->currentIndex();
    } else {
        // An index outside the list leaves it without selection.
        list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
    }
}

void CDataExchange::Number(int id, double& value) {
    if (m_failed) return;
    auto* edit = m_dialog.Item<QLineEdit>(id);
    if (!edit) return;
    if (!m_saveAndValidate) {
        edit->setText(QString::fromStdString(FormatDialogNumber(value)));
        // The start of a number carries its sign and magnitude: show it,
        // whatever the field's width.
        edit->setCursorPosition(0);
        return;
    }
    const std::optional<double> read = ParseDialogNumber(CodePageBytes(edit->text()));
    if (!read) {
        ShowMessage(kNotANumberText, ApplicationName(), MessageIcon::Warning);
        Fail(edit);
        return;
    }
    value = *read;
}

void CDataExchange::PackedAngle(int id, double& value) {
    if (m_failed) return;
    auto* edit = m_dialog.Item<QLineEdit>(id);
    if (!edit || m_saveAndValidate) return Number(id, value);
    edit->setText(QString::fromStdString(PackedAngleText(value)));
    edit->setCursorPosition(0);
}

void CDataExchange::Check(int id, int& value) {
    if (m_failed) return;
    auto* check = m_dialog.Item<QCheckBox>(id);
    if (!check) return;
    if (m_saveAndValidate) {
        value = check->isChecked() ? 1 : 0;
    } else {
        check->setChecked(value != 0);
    }
}

void CDataExchange::Fail(QWidget* field) {
    m_failed = true;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}
