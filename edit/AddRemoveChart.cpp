#include "edit/AddRemoveChart.h"

#include <memory>

namespace edit {

std::unique_ptr<AddRemoveChart> AddRemoveChart::Add(std::size_t index, chart::SongChart chart,
                                                    std::string text) {
    return std::unique_ptr<AddRemoveChart>(
        new AddRemoveChart(true, index, std::move(chart), std::move(text)));
}

std::unique_ptr<AddRemoveChart> AddRemoveChart::Remove(std::size_t index) {
    return std::unique_ptr<AddRemoveChart>(new AddRemoveChart(false, index, {}, "Delete Chart"));
}

void AddRemoveChart::Insert(chart::Song& song) {
    song.charts.insert(song.charts.begin() + static_cast<std::ptrdiff_t>(m_index),
                       std::move(m_chart));
    m_chart = {};
}

void AddRemoveChart::Take(chart::Song& song) {
    const auto at = song.charts.begin() + static_cast<std::ptrdiff_t>(m_index);
    m_chart = std::move(*at);
    song.charts.erase(at);
}

} // namespace edit
