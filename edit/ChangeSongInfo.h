#pragma once

#include "edit/EditCommand.h"

#include <string>

// Title or artist: the command holds the other text and swaps it in.
namespace edit {

enum class SongInfoField : std::uint8_t { kTitle, kArtist };

class ChangeSongInfo final : public EditCommand {
public:
    ChangeSongInfo(SongInfoField field, std::string other, std::uint64_t mergeId = 0)
        : m_field(field), m_other(std::move(other)), m_mergeId(mergeId) {}

    void Redo(chart::Song& song) override { Swap(song); }
    void Undo(chart::Song& song) override { Swap(song); }
    std::string Text() const override;
    ChangeNotice Changes() const override { return {kSongInfoChanged, std::nullopt}; }
    // Typing into the field: one command for the whole edit.
    std::uint64_t MergeId() const override { return m_mergeId; }
    bool MergeWith(const EditCommand& newer) override;

private:
    void Swap(chart::Song& song);

    SongInfoField m_field;
    std::string m_other;
    std::uint64_t m_mergeId;
};

} // namespace edit
