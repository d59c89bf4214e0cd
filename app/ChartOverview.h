#pragma once

#include "edit/Transforms.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;

namespace edit {
class SongEditor;
}
namespace view {
class CDensityStrip;
}

namespace app {

// The selected chart at a glance: its density strip, with the rows the
// step view shows and the selection marked, and a line of its counts. The
// window places the two widgets.
class ChartOverview : public QObject {
public:
    ChartOverview(const edit::SongEditor& editor, QObject* parent);

    // The chart, its notes or the timing changed.
    void Refresh();
    // Where the step view is; cheap when nothing moved.
    void ShowPlace(std::int32_t beginRow, std::int32_t endRow,
                   const std::optional<edit::RowSpan>& selection);

    view::CDensityStrip* Strip() const { return m_strip; }
    QLabel* StatsLine() const { return m_stats; }
    QString StatsText() const;

private:
    const edit::SongEditor& m_editor;
    view::CDensityStrip* m_strip;
    QLabel* m_stats;
    std::int32_t m_beginRow = -1;
    std::int32_t m_endRow = -1;
    std::optional<edit::RowSpan> m_selection;
};

} // namespace app
