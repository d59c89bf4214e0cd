#include "app/ChartOverview.h"

#include "chart/ChartStats.h"
#include "edit/SongEditor.h"
#include "view/CDensityStrip.h"

#include <QLabel>
#include <algorithm>

namespace app {

ChartOverview::ChartOverview(const edit::SongEditor& editor, QObject* parent)
    : QObject(parent), m_editor(editor), m_strip(new view::CDensityStrip), m_stats(new QLabel) {
    m_strip->setObjectName(QStringLiteral("densityStrip"));
    m_stats->setObjectName(QStringLiteral("chartStats"));
    m_stats->setWordWrap(true);
    Refresh();
}

void ChartOverview::Refresh() {
    const chart::SongChart* chart = m_editor.Selected();
    if (!chart) {
        m_strip->SetDensity({}, 0);
        m_stats->clear();
        return;
    }
    m_strip->SetDensity(chart::DensityPerMeasure(*chart),
                        std::max(chart->lengthRows, chart->notes.EndRow()));
    m_stats->setText(
        QString::fromStdString(chart::StatsLine(chart::StatsOf(*chart, m_editor.Timing()))));
}

void ChartOverview::ShowPlace(std::int32_t beginRow, std::int32_t endRow,
                              const std::optional<edit::RowSpan>& selection) {
    if (beginRow != m_beginRow || endRow != m_endRow) {
        m_beginRow = beginRow;
        m_endRow = endRow;
        m_strip->SetVisibleRows(beginRow, endRow);
    }
    if (selection != m_selection) {
        m_selection = selection;
        m_strip->SetSelection(selection
                                  ? std::optional(std::make_pair(selection->begin, selection->end))
                                  : std::nullopt);
    }
}

QString ChartOverview::StatsText() const {
    return m_stats->text();
}

} // namespace app
