#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace view {

// A narrow strip beside the step view showing the whole chart at once, its
// start at the top and its end at the bottom: a bar per measure as long as
// the measure is dense against the densest one, the rows the step view shows
// as an outlined box, and the selection as a band. A click or drag asks the
// window to show the row under the pointer.
//
// The bars are drawn once into an image when the density or the size
// changes, so a paint only copies that image and draws two boxes: the
// window may repaint the strip on every frame while a song plays. Window
// thread only.
class CDensityStrip : public QWidget {
    Q_OBJECT

public:
    explicit CDensityStrip(QWidget* parent = nullptr);

    // Heads per measure of 192 rows (chart::DensityPerMeasure) and the rows
    // the strip spans (the chart's length; the measures are used when they
    // reach further). Kept by value; repaints.
    void SetDensity(std::vector<std::int32_t> perMeasure, std::int32_t totalRows);
    // The rows the step view shows now, [beginRow, endRow).
    void SetVisibleRows(std::int32_t beginRow, std::int32_t endRow);
    // The selected rows [first, second); nullopt: no selection.
    void SetSelection(std::optional<std::pair<std::int32_t, std::int32_t>> rows);

    // A press, or a move with the left button held, asks to show this row:
    // the row at the pointer's height, within the strip's rows.
    std::function<void(std::int32_t row)> onSeekRow;

    QSize sizeHint() const override; // 24 px wide

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::int32_t SpanRows() const;
    // Client y (fractional, logical pixels) of a row's top edge.
    double RowToY(std::int32_t row) const;
    void Seek(double y);
    // Redraws m_bars for the current size and density.
    void RebuildBars();

    std::vector<std::int32_t> m_perMeasure;
    std::int32_t m_totalRows = 0;
    std::int32_t m_visibleBegin = 0;
    std::int32_t m_visibleEnd = 0;
    std::optional<std::pair<std::int32_t, std::int32_t>> m_selection;
    QImage m_bars; // background and bars, at the screen's pixel ratio
};

} // namespace view
