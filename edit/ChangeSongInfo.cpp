#include "edit/ChangeSongInfo.h"

#include <utility>

namespace edit {

std::string ChangeSongInfo::Text() const {
    return m_field == SongInfoField::kTitle ? "Change Title" : "Change Artist";
}

bool ChangeSongInfo::MergeWith(const EditCommand& newer) {
    const auto* other = dynamic_cast<const ChangeSongInfo*>(&newer);
    return other != nullptr && other->m_field == m_field;
}

void ChangeSongInfo::Swap(chart::Song& song) {
    std::swap(m_field == SongInfoField::kTitle ? song.title : song.artist, m_other);
}

} // namespace edit
