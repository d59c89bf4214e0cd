#pragma once

#include "edit/EditCommand.h"

#include <string>

// A chart's difficulty text and foot rating, swapped as one pair.
namespace edit {

struct ChartInfo {
    std::string difficulty;
    std::uint32_t rating = 1;
};

class ChangeChartInfo final : public EditCommand {
public:
    ChangeChartInfo(std::size_t chart, std::string text, ChartInfo other)
        : m_chart(chart), m_text(std::move(text)), m_other(std::move(other)) {}

    void Redo(chart::Song& song) override { Swap(song); }
    void Undo(chart::Song& song) override { Swap(song); }
    std::string Text() const override { return m_text; }
    ChangeNotice Changes() const override { return {kChartInfoChanged, m_chart}; }

private:
    void Swap(chart::Song& song);

    std::size_t m_chart;
    std::string m_text;
    ChartInfo m_other;
};

} // namespace edit
