#pragma once

#include "edit/EditCommand.h"

#include <memory>
#include <string>

// A chart put in at an index or taken out of it. The command owns the chart
// while it is not in the song; adding and removing are the same two steps
// in opposite order.
namespace edit {

class AddRemoveChart final : public EditCommand {
public:
    // Adds the chart at index.
    static std::unique_ptr<AddRemoveChart> Add(std::size_t index, chart::SongChart chart,
                                               std::string text);
    // Removes the chart at index.
    static std::unique_ptr<AddRemoveChart> Remove(std::size_t index);

    void Redo(chart::Song& song) override { m_adds ? Insert(song) : Take(song); }
    void Undo(chart::Song& song) override { m_adds ? Take(song) : Insert(song); }
    std::string Text() const override { return m_text; }
    ChangeNotice Changes() const override { return {kChartListChanged, m_index}; }

private:
    AddRemoveChart(bool adds, std::size_t index, chart::SongChart chart, std::string text)
        : m_adds(adds), m_index(index), m_chart(std::move(chart)), m_text(std::move(text)) {}
    void Insert(chart::Song& song);
    void Take(chart::Song& song);

    bool m_adds;
    std::size_t m_index;
    chart::SongChart m_chart; // meaningful while out of the song
    std::string m_text;
};

} // namespace edit
