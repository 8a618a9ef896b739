#include "ui/pair_table.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>
#include <algorithm>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "ui/qt_platform.h"
#include "workflow/estimation_run.h"
#include "workflow/calibration_run.h"

using namespace zelk;

namespace {
constexpr int kStartRows = 12;

QString SideCaption(bool after, const QString& axis) {
    return (after ? QStringLiteral("转换后 ") : QStringLiteral("转换前 ")) + axis;
}
}  // namespace

QStringList SplitPastedLine(const QString& line) {
    QStringList fields;
    if (line.contains(QLatin1Char('\t'))) {
        fields = line.split(QLatin1Char('\t'));
    } else if (line.contains(QLatin1Char(','))) {
        fields = line.split(QLatin1Char(','));
    } else {
        // Runs of blanks, any the character set calls so.
        for (qsizetype i = 0; i < line.size();) {
            while (i < line.size() && line[i].isSpace()) ++i;
            const qsizetype start = i;
            while (i < line.size() && !line[i].isSpace()) ++i;
            if (i > start) fields << line.mid(start, i - start);
        }
        return fields;
    }
    for (QString& field : fields) field = field.trimmed();
    return fields;
}

CPairTable::CPairTable(QWidget* parent) : QTableWidget(kStartRows, kColumns, parent) {
    SetAxes({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("H")},
            {QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("H")});
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    // Wide enough for "4409717.954" and "39.491241735" at the dialog font.
    const int number = fontMetrics().horizontalAdvance(QStringLiteral("39.491241735")) + 6;
    setColumnWidth(kNameColumn, fontMetrics().horizontalAdvance(QStringLiteral("K0001")) + 6);
    for (int c = 1; c < kColumns; ++c) setColumnWidth(c, number);
    setWordWrap(false);
    // A number wider than its column loses its first digits, not its last:
    // the millimetres stay in sight. Columns grow to what they hold.
    setTextElideMode(Qt::ElideLeft);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
        if (m_filling) return;
        KeepOneEmptyRow();
        FitColumn(cell->column());
    });
}

void CPairTable::FitColumn(int column) {
    if (column < 0 || column >= kColumns) return;
    // The widest cell of the rows the view measures (it looks at some
    // hundreds, whatever the table holds), never narrower than at the start.
    const int least = column == kNameColumn ? fontMetrics().horizontalAdvance(QStringLiteral("K0001")) + 6
                                            : fontMetrics().horizontalAdvance(QStringLiteral("39.491241735")) + 6;
    setColumnWidth(column, std::max(least, sizeHintForColumn(column)));
}

void CPairTable::SetAxes(const std::array<QString, 3>& before, const std::array<QString, 3>& after) {
    QStringList captions{QStringLiteral("点号")};
    for (const QString& axis : before) captions << SideCaption(false, axis);
    for (const QString& axis : after) captions << SideCaption(true, axis);
    setHorizontalHeaderLabels(captions);
}

QString CPairTable::CellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text().trimmed() : QString();
}

void CPairTable::SetCell(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
    } else {
        setItem(row, column, new QTableWidgetItem(text));
    }
}

bool CPairTable::RowIsEmpty(int row) const {
    for (int c = 0; c < kColumns; ++c) {
        if (!CellText(row, c).isEmpty()) return false;
    }
    return true;
}

void CPairTable::KeepOneEmptyRow() {
    if (rowCount() == 0 || !RowIsEmpty(rowCount() - 1)) insertRow(rowCount());
}

void CPairTable::PasteText(const QString& text) {
    const int first = currentRow() >= 0 ? currentRow() : 0;
    const int column = currentColumn() >= 0 ? currentColumn() : 0;
    // The lines that hold anything, as many as the table may hold from the
    // first row on.
    QStringList lines = text.split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    const qsizetype room = std::max<qsizetype>(0, static_cast<qsizetype>(zelk::kMaxCommonPoints) - first);
    const qsizetype left = std::max<qsizetype>(0, lines.size() - room);
    lines.resize(lines.size() - left);

    // Rows added at once, and the cells filled without a signal each: the
    // table is told once that they changed.
    if (first + lines.size() > rowCount()) setRowCount(static_cast<int>(first + lines.size()));
    m_filling = true;
    {
        const QSignalBlocker quiet(model());
        int row = first;
        for (QString& line : lines) {
            if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
            const QStringList fields = SplitPastedLine(line);
            // Six values without a name go past the name column.
            const int start = column == kNameColumn && fields.size() == kColumns - 1 ? 1 : column;
            for (int f = 0; f < fields.size() && start + f < kColumns; ++f) SetCell(row, start + f, fields[f]);
            ++row;
        }
    }
    m_filling = false;
    viewport()->update();
    KeepOneEmptyRow();
    for (int c = 0; c < kColumns; ++c) FitColumn(c);
    if (left > 0) {
        ShowMessage("点对表最多容纳" + std::to_string(zelk::kMaxCommonPoints) + "对公共点，粘贴的最后" +
                        std::to_string(left) + "行没有贴入！",
                    ApplicationName(), MessageIcon::Warning);
    }
}

void CPairTable::ClearPairs() {
    m_filling = true;
    clearContents();
    setRowCount(kStartRows);
    m_filling = false;
    setCurrentCell(0, 0);
}

std::vector<std::array<QString, CPairTable::kColumns>> CPairTable::Rows() const {
    std::vector<std::array<QString, kColumns>> rows;
    for (int row = 0; row < rowCount(); ++row) {
        if (RowIsEmpty(row)) continue;
        std::array<QString, kColumns> cells;
        for (int c = 0; c < kColumns; ++c) cells[static_cast<std::size_t>(c)] = CellText(row, c);
        rows.push_back(cells);
    }
    return rows;
}

void CPairTable::SetRows(const std::vector<std::array<QString, kColumns>>& rows) {
    m_filling = true;
    clearContents();
    setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int c = 0; c < kColumns; ++c) SetCell(row, c, rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)]);
    }
    m_filling = false;
    KeepOneEmptyRow();
    setCurrentCell(0, 0);
}

void CPairTable::SetAngles(std::optional<AngleFormat> before, std::optional<AngleFormat> after) {
    m_angles = {before, after};
}

std::optional<CPairTable::Pairs> CPairTable::ReadPairs(Problem& problem) const {
    Pairs pairs;
    for (int row = 0; row < rowCount(); ++row) {
        if (RowIsEmpty(row)) continue;
        double values[6];
        if (pairs.before.size() == zelk::kMaxCommonPoints) {
            problem.row = row;
            problem.column = kNameColumn;
            problem.text = QStringLiteral("点对表的公共点超过%1对（第%2行起），请减少点对！")
                               .arg(zelk::kMaxCommonPoints)
                               .arg(row + 1);
            return std::nullopt;
        }
        for (int c = 1; c < kColumns; ++c) {
            const QString text = CellText(row, c);
            // B and L are the first two values of a side; packed DMS reads
            // as any number field does.
            const std::optional<AngleFormat> angles = m_angles[c <= 3 ? 0 : 1];
            const int axis = (c - 1) % 3;
            const bool angle = angles && *angles != AngleFormat::Packed && axis < 2;
            std::optional<double> value;
            if (text == QStringLiteral("*")) {
                value = kUnknown;
            } else if (angle) {
                double packed = 0.0;
                const QByteArray bytes = text.trimmed().toUtf8();
                if (!bytes.isEmpty() &&
                    ParseAngle(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               *angles, axis == 0 ? AngleAxis::Latitude : AngleAxis::Longitude, packed)) {
                    value = packed;
                }
            } else if (!text.isEmpty()) {
                value = ParseDialogNumber(CodePageBytes(text));
            }
            if (!value) {
                const QString where =
                    QStringLiteral("点对表第%1行的“%2”").arg(row + 1).arg(horizontalHeaderItem(c)->text());
                problem.row = row;
                problem.column = c;
                const QString expected = !angle ? QStringLiteral("一个数")
                                         : *angles == AngleFormat::Degrees ? QStringLiteral("十进制度")
                                                                           : QStringLiteral("度分秒");
                problem.text = text.isEmpty() ? where + QStringLiteral("是空的，请键入") + expected +
                                                    QStringLiteral("！")
                                              : where + QStringLiteral("“") + text + QStringLiteral("”不是") +
                                                    expected + QStringLiteral("，请改正！");
                return std::nullopt;
            }
            values[c - 1] = *value;
        }
        pairs.before.push_back(PointRecord{values[0], values[1], values[2]});
        pairs.after.push_back(PointRecord{values[3], values[4], values[5]});
        pairs.names << CellText(row, kNameColumn);
    }
    return pairs;
}

void CPairTable::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteText(QApplication::clipboard()->text());
        return;
    }
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        const QList<QTableWidgetItem*> chosen = selectedItems();
        if (chosen.size() > 1 || (chosen.size() == 1 && state() != QAbstractItemView::EditingState)) {
            for (QTableWidgetItem* cell : chosen) cell->setText(QString());
            return;
        }
    }
    QTableWidget::keyPressEvent(event);
}

void CPairTable::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* paste = menu.addAction(QStringLiteral("粘贴(&P)"));
    paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    QAction* removeRows = menu.addAction(QStringLiteral("删除所选行(&D)"));
    removeRows->setEnabled(!selectedItems().isEmpty());
    QAction* clearAll = menu.addAction(QStringLiteral("全部清空(&C)"));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == paste) {
        PasteText(QApplication::clipboard()->text());
    } else if (chosen == removeRows) {
        QList<int> rows;
        for (QTableWidgetItem* cell : selectedItems()) {
            if (!rows.contains(cell->row())) rows << cell->row();
        }
        std::sort(rows.begin(), rows.end(), std::greater<int>());
        for (int row : rows) removeRow(row);
        KeepOneEmptyRow();
    } else if (chosen == clearAll) {
        ClearPairs();
    }
}
