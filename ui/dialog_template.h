// Dialog templates as data, and the one builder that turns a template into
// widgets.
//
// A template lists its controls in creation order, which is also the tab
// order. Positions and sizes are in dialog units, which follow the dialog's
// font: one horizontal unit is a quarter of the font's average character
// width, one vertical unit an eighth of its character height. So a dialog
// keeps its proportions whatever font size the machine gives it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

// The id of controls that nobody looks up (labels, group boxes).
inline constexpr int kNoId = -1;

// Dialog results and the standard command ids.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class ControlKind { PushButton, GroupBox, DropDownList, Edit, Label, CheckBox, Icon, Custom };

// Makes the widget of a custom control (a table, a plot) as a child of the
// dialog; the builder places it by the control's rectangle.
using CustomControlFactory = QWidget* (*)(QWidget* parent);

// Style notes of a control (bit set).
enum ControlStyle : unsigned {
    kStyleNone = 0,
    kDefaultButton = 1u << 0,  // push button drawn and acting as the default
    kVerticalScroll = 1u << 1,  // list with a vertical scroll bar
    kBorder = 1u << 2,          // edit field with a border
    kAutoHScroll = 1u << 3,     // edit field scrolling its text sideways
    kNoPrefix = 1u << 4,        // label showing "&" as it is
    kFlat = 1u << 5,            // flat check box
    kAutoCheck = 1u << 6,       // check box toggling itself when clicked
};

struct ControlTemplate {
    int id = kNoId;
    ControlKind kind = ControlKind::Label;
    QString text;
    QRect rect;  // x, y, width, height in dialog units
    unsigned style = kStyleNone;
    QStringList items;  // initial items of a list, in order (unsorted)
    CustomControlFactory create = nullptr;  // ControlKind::Custom only
};

// Window style notes of a dialog (bit set).
enum DialogStyle : unsigned {
    kDialogNone = 0,
    kSystemMenu = 1u << 0,   // close box / window menu
    kModalFrame = 1u << 1,   // fixed size
    kAppWindow = 1u << 2,    // shown in the task bar
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    int width = 0;   // dialog units
    int height = 0;  // dialog units
    QString fontFace;
    int pointSize = 9;
    unsigned style = kDialogNone;
    std::vector<ControlTemplate> controls;
};

// The dialog font: the face if installed, otherwise an installed font that
// has Chinese glyphs, at the given size.
QFont DialogFont(const QString& face, int pointSize);

struct DialogBaseUnits {
    int x = 0;  // average character width, pixels
    int y = 0;  // character height, pixels
};

// Average width as the platform measures it: the 52 Latin letters, rounded.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);

// Dialog units to pixels.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units);

// The dynamic property on every built control holding its id, and the one
// holding its rectangle in dialog units.
inline constexpr const char* kControlIdProperty = "zelkControlId";
inline constexpr const char* kDialogRectProperty = "zelkDialogRect";
// The dynamic property of an edit field holding its hint: its tooltip, with
// the whole text after it when the text is wider than the field.
inline constexpr const char* kFieldHintProperty = "zelkFieldHint";

// A dialog built from a template. Its controls are direct children of the
// dialog, placed by their rectangles. An edit field whose text is wider than
// the field shows the whole text as its tooltip. The derived dialogs run
// their own initialisation at the end of their constructors.
class CDataExchange;

class CTemplateDialog : public QDialog {
    Q_OBJECT
public:
    CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent);
    ~CTemplateDialog() override;

    const DialogTemplate& Template() const { return m_template; }
    DialogBaseUnits BaseUnits() const { return m_units; }

    // The control with this id, or nullptr.
    QWidget* GetDlgItem(int id) const;
    template <typename T>
    T* Item(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }
    // Every control in template order (labels and group boxes included).
    const std::vector<QWidget*>& Controls() const { return m_controls; }

    // Sets the text of a label or button.
    void SetDlgItemText(int id, const QString& text);
    // Shows a file on its button: its name, elided in the middle when the
    // button is too narrow, and the full path as the tooltip. An empty path
    // shows emptyText and no tooltip.
    void ShowFileOnButton(int buttonId, const QString& path, const QString& emptyText = QString());

    // Controls to fields (true) or fields to controls (false), through the
    // dialog's DoDataExchange. False when a number field did not read.
    bool UpdateData(bool saveAndValidate = true);

    // Runs the dialog modally and returns how it ended.
    int DoModal();
    // Ends a modal run with this result.
    void EndDialog(int result) { done(result); }

    // Cancel (close box, Esc, a cancel button): ends with kIdCancel;
    // nothing while the dialog is busy.
    void reject() override;

    // Work runs for the dialog (ui/background_run.h): every control that
    // was enabled is disabled, and the dialog cannot be closed, until it
    // is not busy again.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy; }

protected:
    // Walks the dialog's fields in exchange order; a dialog without fields
    // exchanges nothing.
    virtual void DoDataExchange(CDataExchange& dx);
    virtual void OnCancel();
    // Gives the focus to the first control in tab order.
    void FocusFirstControl();
    // Shows the open (or save) file picker with one "description|pattern||"
    // filter, the default suffix "txt", no read-only box and the overwrite
    // question. Confirmed: path becomes the full path and button buttonId
    // shows the file (ShowFileOnButton). Cancelled: nothing changes.
    void PickFile(bool open, const char* filter, QString& path, int buttonId);

private:
    void Build();
    QWidget* CreateControl(const ControlTemplate& control);

    DialogTemplate m_template;
    DialogBaseUnits m_units;
    std::vector<QWidget*> m_controls;
    QHash<int, QWidget*> m_byId;
    bool m_hasDefault = false;
    bool m_busy = false;
    std::vector<QWidget*> m_disabledWhileBusy;
};

// The control with this id among the children of dialog (tests and tools).
QWidget* FindControl(const QWidget* dialog, int id);
