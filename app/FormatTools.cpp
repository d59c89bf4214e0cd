#include "app/FormatTools.h"

#include "simfile/Convert.h"
#include "simfile/SongFiles.h"
#include "simfile/StepsTypes.h"

namespace app {

bool ConvertSongFile(const std::string& in, const std::string& out, std::FILE* err) {
    const auto target = sm::FormatOfPath(out);
    if (!target) {
        std::fprintf(err, "\"%s\": the name must end in .dwi, .sm or .ssc.\n", out.c_str());
        return false;
    }
    dwi::SongFile file = sm::ReadAnySongFile(in);
    if (!file.error.empty()) {
        std::fprintf(err, "%s\n", file.error.c_str());
        return false;
    }
    if (const std::string leftOut = dwi::LeftOutMessage(in, file.leftOut); !leftOut.empty()) {
        std::fprintf(err, "%s\n", leftOut.c_str());
    }
    chart::Song song = std::move(file.song);
    if (song.format != *target) {
        const std::vector<std::string> losses = sm::ConversionLosses(song, *target);
        if (!losses.empty()) {
            std::fprintf(err, "\"%s\": a %s file cannot hold %s.\n", out.c_str(),
                         std::string(sm::ExtensionOf(*target)).c_str(),
                         sm::LossList(losses).c_str());
        }
        song = sm::ConvertSong(song, *target);
    }
    if (const auto error = sm::SaveAnySong(out, song)) {
        std::fprintf(err, "Could not write \"%s\": %s\n", out.c_str(), error->c_str());
        return false;
    }
    return true;
}

} // namespace app
