#include "ui/residual_views.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "platform/number_text.h"

using namespace zelk;

QColor SuspectColor() { return QColor(200, 0, 0); }

namespace {
QString Metres(double value) { return TableNumber(value, 4); }

// Where a component took no part (a plan-only or height-only pair).
const QString kUnused = QStringLiteral("—");

bool AnyName(const QStringList& names) {
    return std::any_of(names.begin(), names.end(), [](const QString& n) { return !n.isEmpty(); });
}

bool AnyHeight(const std::vector<CalibrationResidual>& rows) {
    return std::any_of(rows.begin(), rows.end(),
                       [](const CalibrationResidual& r) { return r.heightFitted; });
}

QStringList CaptionsOf(ResidualKind kind, bool names, bool height, bool withoutGeoid = false) {
    QStringList captions{QStringLiteral("对")};
    if (names) captions << QStringLiteral("点号");
    if (kind == ResidualKind::Spatial) {
        captions << QStringLiteral("rX (m)") << QStringLiteral("rY (m)") << QStringLiteral("rZ (m)")
                 << QStringLiteral("三维 (m)");
    } else {
        captions << QStringLiteral("vx (m)") << QStringLiteral("vy (m)") << QStringLiteral("平面 (m)");
    }
    if (height) captions << QStringLiteral("高程 (m)");
    if (height && withoutGeoid) captions << QStringLiteral("无模型 (m)");
    captions << QStringLiteral("剔除后 (m)") << QStringLiteral("粗差");
    return captions;
}

// Explanations of the columns whose captions are short.
QString CaptionTip(const QString& caption) {
    if (caption.startsWith(QStringLiteral("剔除后"))) {
        return QStringLiteral("这一对不参加解算时，它与其余各对解算的参数相差多少（逐对剔除检验）");
    }
    if (caption == QStringLiteral("粗差")) {
        return QStringLiteral("* 可能有粗差：剔除后的不符值超出其余各对的离散程度"
                              "（F 检验，全部点对合计显著水平 1%）");
    }
    if (caption.startsWith(QStringLiteral("r"))) {
        return QStringLiteral("转换后减去转换前换算值，地心直角坐标 X Y Z 方向");
    }
    if (caption.startsWith(QStringLiteral("v"))) {
        return QStringLiteral("转换后减去转换前换算值，平面 x（北）y（东）方向");
    }
    if (caption.startsWith(QStringLiteral("高程"))) return QStringLiteral("高程拟合的残差");
    if (caption.startsWith(QStringLiteral("无模型"))) {
        return QStringLiteral("同一高程拟合不用大地水准面模型时的残差：与“高程”一栏相比，可见模型的作用");
    }
    return QString();
}

// Arrow from a to b with a head of about `head` pixels.
void DrawArrow(QPainter& painter, QPointF a, QPointF b, double head) {
    painter.drawLine(a, b);
    const QPointF d = b - a;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1.0) return;
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    const double h = std::min(head, length * 0.6);
    QPainterPath tip;
    tip.moveTo(b);
    tip.lineTo(b - u * h + n * (h * 0.45));
    tip.lineTo(b - u * h - n * (h * 0.45));
    tip.closeSubpath();
    painter.fillPath(tip, painter.pen().color());
}
}  // namespace

QString LengthText(double metres) {
    const auto text = [](double value, const char* unit) {
        return QString::fromStdString(FormatGeneral(value, 3)) + QLatin1Char(' ') +
               QString::fromLatin1(unit);
    };
    if (metres >= 1000.0) return text(metres / 1000.0, "km");
    if (metres >= 1.0) return text(metres, "m");
    if (metres >= 0.01) return text(metres * 100.0, "cm");
    return text(metres * 1000.0, "mm");
}

double RoundLengthBelow(double metres) {
    if (!(metres > 0.0) || !std::isfinite(metres)) return 0.0;
    const double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (double step : {5.0, 2.0, 1.0}) {
        // A little tolerance, so that 0.05 itself is 5 cm and not 2 cm.
        if (step * power <= metres * (1.0 + 1e-9)) return step * power;
    }
    return power / 2.0;
}

// ---------------------------------------------------------------- table

QString TableNumber(double value, int decimals) {
    std::string text = FormatFixed(value, decimals);
    // A value that rounds to zero has no sign.
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
    return QString::fromStdString(text);
}

class CResidualTable::Model final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Show(std::vector<CalibrationResidual> rows, ResidualKind kind, QStringList names,
              bool withoutGeoid = false) {
        beginResetModel();
        m_rows = std::move(rows);
        m_kind = kind;
        m_withNames = AnyName(names);
        m_names = m_withNames ? std::move(names) : QStringList();
        const bool height = AnyHeight(m_rows);
        m_withoutGeoid = withoutGeoid && height;
        m_captions = CaptionsOf(kind, m_withNames, height, m_withoutGeoid);
        endResetModel();
    }

    const QStringList& Captions() const { return m_captions; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_captions.size());
    }

    QString Text(int row, int column) const {
        const CalibrationResidual& r = m_rows[static_cast<std::size_t>(row)];
        if (column == 0) return QString::number(row + 1);
        if (m_withNames && column-- == 1) return row < m_names.size() ? m_names[row] : QString();
        const int values = m_kind == ResidualKind::Spatial ? 3 : 2;
        if (column <= values) return r.planeUsed ? Metres(r.r[static_cast<std::size_t>(column - 1)]) : kUnused;
        if (column == values + 1) return r.planeUsed ? Metres(r.length) : kUnused;
        column -= values + 2;
        if (AnyHeightColumn() && column-- == 0) return r.heightFitted ? Metres(r.height) : kUnused;
        if (m_withoutGeoid && column-- == 0) return r.heightFitted ? Metres(r.heightWithoutGeoid) : kUnused;
        if (column == 0) return r.leftOut > 0.0 ? Metres(r.leftOut) : QStringLiteral("-");
        return r.suspect ? QStringLiteral("*") : QString();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        switch (role) {
            case Qt::DisplayRole:
                return Text(index.row(), index.column());
            case Qt::TextAlignmentRole: {
                if (index.column() == columnCount() - 1) return int(Qt::AlignCenter);
                const bool text = m_withNames && index.column() == 1;
                return int(Qt::AlignVCenter | (text ? Qt::AlignLeft : Qt::AlignRight));
            }
            case Qt::ForegroundRole:
                if (m_rows[static_cast<std::size_t>(index.row())].suspect) return SuspectColor();
                return {};
            default:
                return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_captions.size()) return {};
        if (role == Qt::DisplayRole) return m_captions[section];
        if (role == Qt::ToolTipRole) return CaptionTip(m_captions[section]);
        return {};
    }

private:
    bool AnyHeightColumn() const { return m_captions.contains(QStringLiteral("高程 (m)")); }

    std::vector<CalibrationResidual> m_rows;
    ResidualKind m_kind = ResidualKind::Spatial;
    bool m_withNames = false;
    bool m_withoutGeoid = false;
    QStringList m_names;
    QStringList m_captions;
};

CResidualTable::CResidualTable(QWidget* parent) : QTableView(parent), m_model(new Model(this)) {
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    Clear();
}

CResidualTable::~CResidualTable() = default;

void CResidualTable::Clear(ResidualKind kind) {
    m_model->Show({}, kind, {});
    FitColumns();
}

void CResidualTable::ShowResiduals(const std::vector<CalibrationResidual>& rows, ResidualKind kind,
                                   const QStringList& names, bool withoutGeoid) {
    m_model->Show(rows, kind, names, withoutGeoid);
    FitColumns();
}

int CResidualTable::rowCount() const { return m_model->rowCount(); }
int CResidualTable::columnCount() const { return m_model->columnCount(); }

QString CResidualTable::CellText(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_model->columnCount()) return {};
    return m_model->Text(row, column);
}

QColor CResidualTable::CellColor(int row, int column) const {
    const QVariant colour = m_model->data(m_model->index(row, column), Qt::ForegroundRole);
    return colour.isValid() ? colour.value<QColor>() : palette().color(QPalette::Text);
}

void CResidualTable::FitColumns() {
    // The rows in view decide (the header's precision); every row would
    // take long for many pairs.
    resizeColumnsToContents();
    // What is left of the width goes to the columns evenly; a table wider
    // than its view scrolls.
    const int columns = m_model->columnCount();
    int used = 0;
    for (int c = 0; c < columns; ++c) used += columnWidth(c);
    const int spare = viewport()->width() - used;
    if (spare <= 0 || columns == 0) return;
    for (int c = 0; c < columns; ++c) {
        setColumnWidth(c, columnWidth(c) + spare / columns + (c < spare % columns ? 1 : 0));
    }
}

void CResidualTable::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    FitColumns();
}

QStringList CResidualTable::Captions() const { return m_model->Captions(); }

QString CResidualTable::PlainText() const {
    const int rows = rowCount(), columns = columnCount();
    // Names as wide as the widest; numbers in columns of 12.
    std::vector<qsizetype> widths(static_cast<std::size_t>(columns), 12);
    widths[0] = 6;
    const QStringList captions = Captions();
    const bool named = columns > 1 && captions[1] == QStringLiteral("点号");
    if (named) {
        widths[1] = captions[1].size();
        for (int r = 0; r < rows; ++r) widths[1] = std::max(widths[1], m_model->Text(r, 1).size());
    }
    const auto line = [&](const auto& cell) {
        QString text;
        for (int c = 0; c < columns; ++c) {
            const QString value = cell(c);
            const qsizetype pad = std::max<qsizetype>(widths[static_cast<std::size_t>(c)] - value.size(), 1);
            if (named && c == 1) {
                text += QStringLiteral("  ") + value + QString(pad - 1, QLatin1Char(' '));
            } else {
                text += QString(pad, QLatin1Char(' ')) + value;
            }
        }
        while (text.endsWith(QLatin1Char(' '))) text.chop(1);
        return text + QLatin1Char('\n');
    };
    QString text = line([&captions](int c) { return captions[c]; });
    for (int r = 0; r < rows; ++r) text += line([this, r](int c) { return m_model->Text(r, c); });
    return text;
}

// ---------------------------------------------------------------- plot

namespace {
constexpr double kMargin = 14.0;      // around the points, pixels
constexpr double kTopBand = 18.0;     // the north caption
constexpr double kBottomBand = 30.0;  // the two scales
constexpr double kArrowShare = 0.125; // longest arrow not suspected, of the plot's smaller side
constexpr double kLongestShare = 0.3;  // any arrow at most, of the plot's smaller side
}  // namespace

CResidualPlot::CResidualPlot(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, palette().color(QPalette::Base));
    setPalette(p);
    Clear(QStringLiteral("计算后在此画出各点的平面残差"));
}

void CResidualPlot::Clear(const QString& hint) {
    m_positions.clear();
    m_drawn.clear();
    m_rows.clear();
    m_labels.clear();
    m_hint = hint;
    m_arrowScale = m_arrowLegend = m_mapLegend = m_arrowCut = 0.0;
    update();
}

void CResidualPlot::ShowResiduals(const std::vector<GridPoint>& positions,
                                  const std::vector<CalibrationResidual>& rows,
                                  const QStringList& labels) {
    // The pairs that took part in the plane fit: a height-only pair has no
    // plane residual to draw.
    const std::size_t n = std::min(positions.size(), rows.size());
    m_positions.clear();
    m_rows.clear();
    m_labels.clear();
    for (std::size_t i = 0; i < n; ++i) {
        if (!rows[i].planeUsed) continue;
        m_positions.push_back(positions[i]);
        m_rows.push_back(rows[i]);
        const int at = static_cast<int>(i);
        m_labels << (at < labels.size() && !labels[at].isEmpty() ? labels[at] : QString::number(at + 1));
    }
    m_hint.clear();
    Layout();
    update();
}

QRectF CResidualPlot::PlotArea() const {
    return QRectF(rect()).adjusted(kMargin, kTopBand + kMargin * 0.5, -kMargin,
                                   -(kBottomBand + kMargin * 0.5));
}

void CResidualPlot::Layout() {
    if (m_positions.empty()) return;
    double minN = m_positions[0].x, maxN = minN, minE = m_positions[0].y, maxE = minE;
    for (const GridPoint& p : m_positions) {
        minN = std::min(minN, p.x);
        maxN = std::max(maxN, p.x);
        minE = std::min(minE, p.y);
        maxE = std::max(maxE, p.y);
    }
    const QRectF area = PlotArea();
    const double spanN = maxN - minN, spanE = maxE - minE;
    const double w = std::max(area.width(), 1.0), h = std::max(area.height(), 1.0);
    if (spanN <= 0.0 && spanE <= 0.0) {
        m_mapScale = 1.0;
    } else if (spanN <= 0.0) {
        m_mapScale = w / spanE;
    } else if (spanE <= 0.0) {
        m_mapScale = h / spanN;
    } else {
        m_mapScale = std::min(w / spanE, h / spanN);
    }
    m_north0 = (minN + maxN) / 2.0;
    m_east0 = (minE + maxE) / 2.0;
    m_centre = area.center();
    m_mapLegend = RoundLengthBelow(w / 4.0 / m_mapScale);

    // The scale follows the longest arrow of the pairs not suspected, so a
    // blunder does not shrink the others to nothing; a suspect's arrow is
    // cut at kLongestShare and labelled with its length.
    double longest = 0.0, longestGood = 0.0;
    for (const CalibrationResidual& r : m_rows) {
        const double length = std::hypot(r.plane[0], r.plane[1]);
        longest = std::max(longest, length);
        if (!r.suspect) longestGood = std::max(longestGood, length);
    }
    const double reference = longestGood > 0.0 ? longestGood : longest;
    m_arrowScale = reference > 0.0 ? kArrowShare * std::min(w, h) / reference : 0.0;
    m_arrowCut = kLongestShare * std::min(w, h);
    m_arrowLegend = RoundLengthBelow(reference);
    Thin();
}

void CResidualPlot::Thin() {
    const int n = PointCount();
    m_drawn.clear();
    if (n <= kMaxDrawnPoints) {
        for (int i = 0; i < n; ++i) m_drawn.push_back(i);
        return;
    }
    // Squares of kCell pixels: a thousand or two over the plot.
    constexpr double kCell = 8.0;
    const QRectF area = PlotArea().adjusted(-kMargin, -kMargin, kMargin, kMargin);
    const int columns = std::max(1, static_cast<int>(area.width() / kCell) + 1);
    const int rows = std::max(1, static_cast<int>(area.height() / kCell) + 1);
    std::vector<int> best(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), -1);
    const auto length = [this](int i) {
        const CalibrationResidual& r = m_rows[static_cast<std::size_t>(i)];
        return std::hypot(r.plane[0], r.plane[1]);
    };
    std::vector<int> suspects;
    for (int i = 0; i < n; ++i) {
        if (m_rows[static_cast<std::size_t>(i)].suspect) {
            if (static_cast<int>(suspects.size()) < kMaxDrawnPoints / 4) suspects.push_back(i);
            continue;
        }
        const QPointF at = PointAt(i) - area.topLeft();
        const int c = std::clamp(static_cast<int>(at.x() / kCell), 0, columns - 1);
        const int r = std::clamp(static_cast<int>(at.y() / kCell), 0, rows - 1);
        int& kept = best[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(c)];
        if (kept < 0 || length(i) > length(kept)) kept = i;
    }
    for (int i : best) {
        if (i >= 0) m_drawn.push_back(i);
    }
    // The longest first when the squares hold more than may be drawn.
    const int room = kMaxDrawnPoints - static_cast<int>(suspects.size());
    if (static_cast<int>(m_drawn.size()) > room) {
        std::nth_element(m_drawn.begin(), m_drawn.begin() + room, m_drawn.end(),
                         [&length](int a, int b) { return length(a) > length(b); });
        m_drawn.resize(static_cast<std::size_t>(room));
    }
    m_drawn.insert(m_drawn.end(), suspects.begin(), suspects.end());
    std::sort(m_drawn.begin(), m_drawn.end());
}

bool CResidualPlot::ArrowCut(int i) const {
    if (i < 0 || i >= PointCount()) return false;
    const CalibrationResidual& r = m_rows[static_cast<std::size_t>(i)];
    return std::hypot(r.plane[0], r.plane[1]) * m_arrowScale > m_arrowCut;
}

void CResidualPlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

QPointF CResidualPlot::PointAt(int i) const {
    if (i < 0 || i >= PointCount()) return {};
    const GridPoint& p = m_positions[static_cast<std::size_t>(i)];
    return m_centre + QPointF((p.y - m_east0) * m_mapScale, -(p.x - m_north0) * m_mapScale);
}

QPointF CResidualPlot::ArrowEnd(int i) const {
    if (i < 0 || i >= PointCount()) return {};
    const CalibrationResidual& r = m_rows[static_cast<std::size_t>(i)];
    QPointF arrow(r.plane[1] * m_arrowScale, -r.plane[0] * m_arrowScale);
    const double length = std::hypot(arrow.x(), arrow.y());
    if (length > m_arrowCut) arrow *= m_arrowCut / length;
    return PointAt(i) + arrow;
}

QString CResidualPlot::ArrowScaleText() const {
    return m_arrowLegend > 0.0 ? QStringLiteral("残差 ") + LengthText(m_arrowLegend) : QString();
}

QString CResidualPlot::MapScaleText() const {
    return m_mapLegend > 0.0 ? LengthText(m_mapLegend) : QString();
}

void CResidualPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::Text);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    if (m_positions.empty()) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_hint);
        return;
    }
    const QFontMetricsF metrics(font());

    // North up: a small arrow and the axis names.
    painter.setPen(QPen(ink, 1.2));
    const QPointF north(10.0, kTopBand - 3.0);
    DrawArrow(painter, north, north - QPointF(0.0, kTopBand - 8.0), 5.0);
    painter.drawText(QPointF(16.0, kTopBand - 4.0), QStringLiteral("x（北）  y（东）→"));

    const QColor normal(0, 70, 160);
    const double radius = DrawnCount() < PointCount() ? 2.0 : 3.0;
    const bool named = DrawnCount() <= kMaxNamedPoints;
    if (DrawnCount() < PointCount()) {
        const QString shown = QStringLiteral("显示 %1 / %2 点").arg(DrawnCount()).arg(PointCount());
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(QRectF(rect()).adjusted(0, 2, -6, 0), Qt::AlignRight | Qt::AlignTop, shown);
    }
    for (const int i : m_drawn) {
        const CalibrationResidual& r = m_rows[static_cast<std::size_t>(i)];
        const QColor colour = r.suspect ? SuspectColor() : normal;
        const QPointF at = PointAt(i);
        painter.setPen(QPen(colour, r.suspect ? 2.0 : 1.5));
        painter.setBrush(Qt::NoBrush);
        DrawArrow(painter, at, ArrowEnd(i), 7.0);

        painter.setPen(QPen(r.suspect ? colour : ink, 1.0));
        painter.setBrush(r.suspect ? colour : palette().color(QPalette::Base));
        painter.drawEllipse(at, radius, radius);
        // Among many points only suspects and arrows cut short are named.
        if (!named && !r.suspect && !ArrowCut(i)) continue;
        QString label = i < m_labels.size() && !m_labels[i].isEmpty() ? m_labels[i] : QString::number(i + 1);
        // An arrow longer than drawn: its length beside the name.
        if (ArrowCut(i)) label += QStringLiteral("  ") + LengthText(std::hypot(r.plane[0], r.plane[1]));
        painter.setPen(r.suspect ? colour : ink);
        painter.drawText(at + QPointF(radius + 2.0, -radius - 1.0), label);
    }

    // The two scales along the bottom: the map's on the left, the arrows'
    // on the right.
    painter.setBrush(Qt::NoBrush);
    const double base = height() - kBottomBand / 2.0 + 2.0;
    const double text = base + metrics.ascent() / 2.0 - 1.0;
    if (m_mapLegend > 0.0) {
        const double length = m_mapLegend * m_mapScale;
        const QPointF a(kMargin, base), b(kMargin + length, base);
        painter.setPen(QPen(ink, 1.2));
        painter.drawLine(a, b);
        painter.drawLine(a + QPointF(0, -4), a + QPointF(0, 4));
        painter.drawLine(b + QPointF(0, -4), b + QPointF(0, 4));
        painter.drawText(QPointF(b.x() + 5.0, text), MapScaleText());
    }
    if (m_arrowLegend > 0.0) {
        const QString caption = ArrowScaleText();
        const double length = m_arrowLegend * m_arrowScale;
        const double right = width() - kMargin;
        const double captionWidth = metrics.horizontalAdvance(caption);
        const QPointF b(right - captionWidth - 6.0, base);
        painter.setPen(QPen(normal, 1.5));
        DrawArrow(painter, b - QPointF(length, 0.0), b, 7.0);
        painter.setPen(ink);
        painter.drawText(QPointF(right - captionWidth, text), caption);
    }
}
