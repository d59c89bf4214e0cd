#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace audio {

// Why a song file could not be read. `message` is shown to the user as it
// is; `kind` lets a caller tell a file of another format from a damaged one.
enum class AudioErrorKind {
    kUnknownType,   // neither the content nor the extension names a format we read
    kCannotOpen,    // the file cannot be opened for reading
    kNotThisFormat, // the content is not of the format the extension names
    kDamaged,       // the format is right but the file is broken or cut short
    kUnsupported,   // a valid file in a variant we do not decode
};

struct AudioError {
    AudioErrorKind kind;
    std::string message;
};

// A value, or the error that prevented it.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(AudioError error) : m_state(std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    const AudioError& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, AudioError> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(AudioError error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const AudioError& error() const { return *m_error; }

private:
    std::optional<AudioError> m_error;
};

// The user-visible texts. Each names the path exactly as it was given.
std::string CannotOpenMessage(const std::string& path);
std::string CorruptWavMessage(const std::string& path);
std::string UnsupportedWavEncodingMessage(const std::string& path);
std::string CorruptMp3Message(const std::string& path);
std::string CorruptOggMessage(const std::string& path);
std::string CorruptFlacMessage(const std::string& path);
std::string CorruptOpusMessage(const std::string& path);
std::string UnknownTypeMessage(const std::string& path);
std::string TooLargeMessage(const std::string& path);
std::string UnsupportedSampleFormatMessage(const std::string& path, int bitsPerSample, int channels,
                                           long sampleRate);

} // namespace audio
