#pragma once

#include "edit/EditCommand.h"
#include "edit/NoteDiff.h"

#include <string>

// Notes of one chart taken out and put in, and its length, as one step:
// every note edit, from one tap to a range action, is one of these.
namespace edit {

class ChangeNotes final : public EditCommand {
public:
    ChangeNotes(std::size_t chart, std::string text, NoteDiff diff, std::int32_t lengthBefore,
                std::int32_t lengthAfter, std::uint64_t mergeId = 0);

    void Redo(chart::Song& song) override;
    void Undo(chart::Song& song) override;
    std::string Text() const override { return m_text; }
    ChangeNotice Changes() const override { return {kNotesChanged, m_chart}; }
    std::uint64_t MergeId() const override { return m_mergeId; }
    // Folds a later change of the same chart in (the release of a held key
    // turning its tap into a hold); the text becomes the later one's.
    bool MergeWith(const EditCommand& newer) override;

private:
    std::size_t m_chart;
    std::string m_text;
    NoteDiff m_diff;
    std::int32_t m_lengthBefore;
    std::int32_t m_lengthAfter;
    std::uint64_t m_mergeId;
};

} // namespace edit
