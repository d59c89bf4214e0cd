#include "audio/AudioError.h"

namespace audio {

namespace {

std::string Quoted(const std::string& path) {
    return '"' + path + '"';
}

} // namespace

std::string CannotOpenMessage(const std::string& path) {
    return "Error : Unable to open file " + Quoted(path) + " for reading.";
}

// No full stop at the end: the text has always read this way.
std::string CorruptWavMessage(const std::string& path) {
    return "File " + Quoted(path) + " is corrupt or not a WAV file";
}

std::string UnsupportedWavEncodingMessage(const std::string& path) {
    return "File " + Quoted(path) + " uses unsupported encoding.";
}

std::string CorruptMp3Message(const std::string& path) {
    return "File " + Quoted(path) + " is corrupt or not an MP3 file.";
}

std::string CorruptOggMessage(const std::string& path) {
    return "File " + Quoted(path) + " is corrupt or not an Ogg Vorbis file.";
}

std::string CorruptFlacMessage(const std::string& path) {
    return "File " + Quoted(path) + " is corrupt or not a FLAC file.";
}

std::string CorruptOpusMessage(const std::string& path) {
    return "File " + Quoted(path) + " is corrupt or not an Opus file.";
}

std::string UnknownTypeMessage(const std::string& path) {
    return "File " + Quoted(path) + " is not an MP3, WAV, Ogg Vorbis, FLAC or Opus file.";
}

std::string TooLargeMessage(const std::string& path) {
    return "File " + Quoted(path) + " is too large to analyse.";
}

std::string UnsupportedSampleFormatMessage(const std::string& path, int bitsPerSample, int channels,
                                           long sampleRate) {
    return "File " + Quoted(path) + " uses an unsupported sample format (" +
           std::to_string(bitsPerSample) + " bits, " + std::to_string(channels) + " channels, " +
           std::to_string(sampleRate) + " Hz).";
}

} // namespace audio
