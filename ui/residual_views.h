// The results of an estimation from common points as the dialogs show them:
// a table with a row per pair and a plot with an arrow per point.
//
// Both take the workflow's residual rows (CalibrationResidual), so the
// seven-parameter dialog and the calibration dialog show the same columns
// the same way. Numbers are written locale-independently, in metres with
// four decimals; suspected blunders are red.
#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <vector>

#include "bursa/four_params.h"
#include "workflow/calibration_run.h"

// The colour of a suspected blunder, in the table and in the plot.
QColor SuspectColor();

// Which residuals the rows hold.
enum class ResidualKind {
    Spatial,  // seven parameters: rX rY rZ along the earth-centred axes, 3-D
    Plane,    // four parameters: vx vy in the plane, plane length
};

// A read-only table, a row per pair:
//   对 | 点号 (when any pair has a name) | rX rY rZ 三维, or vx vy 平面 |
//   高程 (when heights were fitted) | 剔除后 | 粗差
// 剔除后 is the pair's discrepancy from an estimate without it ("-" when the
// test did not run); 粗差 holds "*" for a suspected blunder, whose whole row
// is red. A component the pair took no part in (the plane of a height-only
// pair, the height of a plan-only pair) shows "—". The cells are written as
// they are drawn, so that any number of rows costs no more than the
// residuals themselves.
class CResidualTable : public QTableView {
    Q_OBJECT
public:
    explicit CResidualTable(QWidget* parent = nullptr);
    ~CResidualTable() override;

    // withoutGeoid: the height fit sat on a geoid model, and a column
    // after 高程 shows the same fit's residual without it.
    void ShowResiduals(const std::vector<zelk::CalibrationResidual>& rows, ResidualKind kind,
                       const QStringList& names = {}, bool withoutGeoid = false);
    // No rows; the headers of kind.
    void Clear(ResidualKind kind = ResidualKind::Spatial);

    // What is shown (for tests and tools): the rows, the column captions in
    // order, a cell's text and its colour.
    int rowCount() const;
    int columnCount() const;
    QStringList Captions() const;
    QString CellText(int row, int column) const;
    QColor CellColor(int row, int column) const;
    // The table as text, a line a row under a line of captions, columns
    // aligned with blanks (for the comment of a saved file).
    QString PlainText() const;

    // Factory for a dialog template's custom control.
    static QWidget* Create(QWidget* parent) { return new CResidualTable(parent); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Model;
    void FitColumns();

    Model* m_model;
};

// A number of a table, with decimals places: never "-0.0000".
QString TableNumber(double value, int decimals);

// The plane residuals drawn over the points' plane positions: x north up,
// y east to the right, one scale for both axes; at each point an arrow of
// its residual, magnified so that the longest of the pairs not suspected is
// about an eighth of the plot. Suspects are red; an arrow that would reach
// beyond 0.3 of the plot is cut there and its length written by its name.
// Below them the map's scale bar and the arrows' scale, a round residual
// length and its arrow. Without points the plot shows a hint instead.
// Many points are thinned for drawing, so that a plot of any number of
// pairs is drawn at once: in each small square of the plot only the pair
// with the longest residual, suspects always (up to a bound), names only
// when few are drawn; a line says how many of how many are drawn.
class CResidualPlot : public QWidget {
    Q_OBJECT
public:
    explicit CResidualPlot(QWidget* parent = nullptr);

    // positions[i] and rows[i].plane of the pairs whose plane was used;
    // labels name the points (pair numbers when empty).
    void ShowResiduals(const std::vector<zelk::GridPoint>& positions,
                       const std::vector<zelk::CalibrationResidual>& rows, const QStringList& labels = {});
    // Nothing to draw; the hint is shown in the middle.
    void Clear(const QString& hint);

    // What the plot shows (for tests and tools): the number of points, where
    // point i lies in the widget, where its arrow ends, the arrows'
    // magnification (pixels per metre of residual) and the scales' texts.
    int PointCount() const { return static_cast<int>(m_positions.size()); }
    // How many of them are drawn.
    int DrawnCount() const { return static_cast<int>(m_drawn.size()); }
    // At most this many points are drawn, and names written by at most
    // kMaxNamedPoints.
    static constexpr int kMaxDrawnPoints = 2000;
    static constexpr int kMaxNamedPoints = 200;
    QPointF PointAt(int i) const;
    QPointF ArrowEnd(int i) const;  // as drawn, cut or not
    bool ArrowCut(int i) const;
    double ArrowScale() const { return m_arrowScale; }
    QString ArrowScaleText() const;
    QString MapScaleText() const;
    const QString& Hint() const { return m_hint; }

    static QWidget* Create(QWidget* parent) { return new CResidualPlot(parent); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Layout();
    QRectF PlotArea() const;

    void Thin();

    std::vector<zelk::GridPoint> m_positions;
    std::vector<int> m_drawn;  // the points drawn, in order
    std::vector<zelk::CalibrationResidual> m_rows;
    QStringList m_labels;
    QString m_hint;
    // Map: widget point = centre + (east - east0, -(north - north0)) * scale.
    QPointF m_centre;
    double m_north0 = 0.0, m_east0 = 0.0;
    double m_mapScale = 1.0;    // pixels per metre of the site
    double m_arrowScale = 0.0;  // pixels per metre of residual
    double m_arrowCut = 0.0;    // pixels, the longest arrow drawn
    double m_arrowLegend = 0.0; // metres, the round residual drawn in the scale
    double m_mapLegend = 0.0;   // metres, the scale bar
};

// "2 cm", "5 mm", "0.5 mm", "1 m", "500 m", "2 km": a length as the scales
// write it.
QString LengthText(double metres);

// The round length (1, 2 or 5 times a power of ten) at most `metres`, for a
// scale; 0 for a length that is not positive.
double RoundLengthBelow(double metres);
