#include "edit/ChangeChartInfo.h"

#include <utility>

namespace edit {

void ChangeChartInfo::Swap(chart::Song& song) {
    chart::SongChart& target = song.charts.at(m_chart);
    std::swap(target.difficulty, m_other.difficulty);
    std::swap(target.rating, m_other.rating);
}

} // namespace edit
