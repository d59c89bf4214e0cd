#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One function per fuzz harness. libFuzzer's entry points (Fuzz*Main.cpp)
// and the regression test that replays every saved crash input both call
// these, so a crash found by fuzzing stays a case in the normal tests.
namespace fuzz {

// The WAV reader on a memory stream, then the tempo estimate's whole path
// (source, conversion, detector) on the same bytes as a .wav file.
void FuzzWav(const std::uint8_t* data, std::size_t size);

// The MPEG frame search, header parsing, tag finders and frame-by-frame
// decoding on bytes in memory, then the tempo estimate's MP3 source.
void FuzzMpeg(const std::uint8_t* data, std::size_t size);

// The Ogg path: the tempo estimate's source over the bytes as an .ogg file.
void FuzzOgg(const std::uint8_t* data, std::size_t size);

// FLAC, Ogg FLAC and Opus, chosen by content: the tempo estimate's source
// and the player's whole-file decoder over the bytes as a .flac file.
void FuzzFlacOpus(const std::uint8_t* data, std::size_t size);

// The player's whole-file decoder; the first byte picks MP3, WAV or Ogg.
void FuzzDecode(const std::uint8_t* data, std::size_t size);

// The DWI scanner, answering its questions from the data, and the number
// readers on each record value.
void FuzzDwi(const std::uint8_t* data, std::size_t size);

// The song document's reader and writer: besides not crashing, a file read
// and written with no edit comes back byte for byte, and an edited document
// written and read again means the same.
void FuzzSong(const std::uint8_t* data, std::size_t size);

// The .sm/.ssc reader and writer, the bytes read as each flavor: an
// unchanged file comes back byte for byte, an edited document written and
// read again means the same.
void FuzzSimfile(const std::uint8_t* data, std::size_t size);

// Writes the bytes to this process's scratch file with the extension and
// returns its path (the readers choose the format by extension).
std::string ScratchFile(const std::uint8_t* data, std::size_t size, const char* extension);

} // namespace fuzz

// libFuzzer's entry point (one per Fuzz*Main.cpp), running `harness`.
#define BEATWRIGHT_FUZZ_ENTRY_POINT(harness)                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
        harness(data, size);                                                                       \
        return 0;                                                                                  \
    }
