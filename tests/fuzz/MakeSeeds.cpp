// Writes the fuzzers' seed files: small WAVs of every layout the reader
// takes, the WAVs the encoders turn into MP3 and Ogg seeds, and DWI files.
#include "TestSignals.h"

#include <cstdio>
#include <string>
#include <tuple>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const testsignals::WavChunk list{"LIST",
                                     {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0}};
    // source*.wav are encoded by tests/fuzz/CMakeLists.txt into the MP3 and
    // Ogg seeds.
    const std::tuple<const char*, testsignals::WavLayout, double> wavs[] = {
        {"wav/stereo16.wav", {}, 0.005},
        {"wav/mono8.wav", {.channels = 1, .sampleRate = 8000, .bitsPerSample = 8}, 0.005},
        {"wav/stereo24.wav", {.bitsPerSample = 24}, 0.005},
        {"wav/six32.wav", {.channels = 6, .bitsPerSample = 32}, 0.005},
        {"wav/list.wav", {.fmtLength = 18, .chunksBeforeData = {list}}, 0.005},
        {"source.wav", {.channels = 2, .sampleRate = 22050}, 0.15},
        {"source_mono.wav", {.channels = 1, .sampleRate = 8000}, 0.15}};
    for (const auto& [name, layout, seconds] : wavs)
        testsignals::WriteWav(
            folder + "/" + name, layout,
            testsignals::SynthesizeMusic(120.0, seconds, int(layout.sampleRate), layout.channels));
    // song/: the song document's reader, every construct of the step language.
    const std::pair<const char*, std::string> texts[] = {
        {"dwi/written.dwi", "#STATUS:NEW\r\n#TITLE:Song;\r\n#ARTIST:Artist;\r\n#BPM:128.000000;\r\n"
                            "#GAP:500;\r\n#SAMPLESTART:10.000;\r\n#SAMPLELENGTH:5.000;\r\n"
                            "#SINGLE:BASIC:3:\r\n2080000000000000\r\n4600000000000000;\r\n"},
        {"dwi/two_charts.dwi",
         "#BPM:1e39;\n#GAP:-25;\n#SINGLE:ANOTHER:7:12(34)<68>!1;\n#DOUBLE:X:1:22;\n"
         "#SINGLE:MANIAC:-4294967296:AB90;\n#TITLE:no end\n#ARTIST:x;"},
        {"song/pack.dwi", "#TITLE:Pack;\r\n#BPM:150;\r\n#GAP:-120;\r\n#CHANGEBPM:64=300,6.5=75;\r\n"
                          "#FREEZE:32.5=250;\r\n// comment\r\n#GENRE:Trance\r\n#SINGLE:BASIC:3:\r\n"
                          "08(2424)[808080]{8000}`8'<248>8!8000800B!4004\r\n;\r\n"
                          "#DOUBLE:HEAVY:9:8!8008:2(22)2;\r\n#COUPLE:LIGHT:2:4:6;\r\n"
                          "#SOLO:SMANIAC:12:CDEFGHIJKLM<CD>;\r\n#FILE:.\\Songs\\X.MP3;\r\n"},
        {"song/broken.dwi", "\n#\n#:;#SINGLE:X:1:((((<<8!8!;#BPM:0x1p4;#SOLO:;"},
        // simfile/: .sm and .ssc, every note kind, timing and a damaged chart.
        {"simfile/song.sm",
         "#TITLE:A\\:b;\r\n#OFFSET:-0.1;\r\n#BPMS:0=120,4=-60;\r\n#STOPS:2=0.5;\r\n"
         "#NOTES:\r\n     dance-single:\r\n     :\r\n     Easy:\r\n     3:\r\n     0:\r\n"
         "1[2]2M\r\n0040\r\nL3F0\r\n00K3\r\n,\r\n0000\r\n0003\r\n0000\r\n00000\r\n;\r\n"
         "#NOTES:pump-single::Hard:9::10001\n,,\n0000000;"},
        {"simfile/song.ssc",
         "#VERSION:0.6;\n#WARPS:4=6;\n#DELAYS:1=0.2;\n#NOTEDATA:;\n#STEPSTYPE:dance-double;\n"
         "#METER:9;\n#BPMS:0=75;\n#OFFSET:0.1;\n#NOTES:\n1000{x}0001\n2\n3\n0\n0\n;\n"
         "#NOTEDATA:;\n#STEPSTYPE:dance-solo\n#NOTES:\n100001&010000;"}};
    for (const auto& [name, text] : texts)
        testsignals::WriteFile(folder + "/" + name,
                               std::vector<std::uint8_t>(text.begin(), text.end()));
    return 0;
}
