// The table of common points the user types or pastes into the calibration
// dialog: a row per pair, its name and the three values of each side
// (x y H, B L H, or X Y Z, as the side's system has them; B and L in the
// side's angle format, packed DMS unless chosen otherwise).
//
// Pasting (Ctrl+V or the context menu) takes lines as a spreadsheet or a
// text file gives them: fields separated by tabs, else by commas, else by
// blanks. They fill the table from the current cell to the right and down,
// rows added as needed; a line of six fields pasted into the name column
// has no name and fills the six value columns. The last row is always
// empty, so there is always a row to type into. The table holds at most
// zelk::kMaxCommonPoints pairs, as an estimation takes: lines past them are
// not pasted, and a message says how many.
// A value typed as '*' is
// not known: a plan-only pair ('*' heights) or a height-only pair ('*' x
// and y) of a site calibration.
#pragma once

#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <array>
#include <optional>
#include <vector>

#include "bursa/seven_params.h"
#include "workflow/angle_text.h"

class CPairTable : public QTableWidget {
    Q_OBJECT
public:
    explicit CPairTable(QWidget* parent = nullptr);

    static constexpr int kNameColumn = 0;
    static constexpr int kColumns = 7;  // name, three before values, three after values

    // The captions of the three values of each side, e.g. {"x", "y", "H"}.
    void SetAxes(const std::array<QString, 3>& before, const std::array<QString, 3>& after);
    // How B and L of each side are typed: an angle format for a geodetic
    // side, none for a side whose values are all metres.
    void SetAngles(std::optional<zelk::AngleFormat> before, std::optional<zelk::AngleFormat> after);

    // Fills the table from the current cell (the first cell when there is
    // none) as pasting does.
    void PasteText(const QString& text);
    // Every cell emptied, back to the first rows.
    void ClearPairs();
    // The rows that hold anything, as text (name, six values), trimmed; and
    // the table filled with rows in place of what it held.
    std::vector<std::array<QString, kColumns>> Rows() const;
    void SetRows(const std::vector<std::array<QString, kColumns>>& rows);

    // The pairs of the rows that hold anything; blank rows are skipped.
    struct Pairs {
        std::vector<zelk::PointRecord> before, after;  // the values as typed: a, b, c of each side
        QStringList names;                       // a name a pair, maybe empty
    };
    struct Problem {
        int row = -1;     // table row (from 0)
        int column = -1;  // table column
        QString text;     // as shown to the user
    };
    // The pairs, or the first cell that does not read (numbers read as the
    // dialogs' number fields: platform/number_text.h, whatever the locale;
    // B and L as workflow/angle_text.h reads their format, turned into
    // packed DMS; '*' as zelk::kUnknown).
    std::optional<Pairs> ReadPairs(Problem& problem) const;

    static QWidget* Create(QWidget* parent) { return new CPairTable(parent); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void KeepOneEmptyRow();
    // A column as wide as what it shows (zone-prefixed eastings whole).
    void FitColumn(int column);
    bool RowIsEmpty(int row) const;
    QString CellText(int row, int column) const;
    void SetCell(int row, int column, const QString& text);

    bool m_filling = false;  // cells being set by the program
    std::array<std::optional<zelk::AngleFormat>, 2> m_angles;  // before, after
};

// A pasted line's fields: split at tabs if it has any, else at commas, else
// at runs of blanks; each field trimmed.
QStringList SplitPastedLine(const QString& line);
