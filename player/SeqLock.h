#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

namespace player {

// Publishes a small trivially copyable value from one writer at a time to
// any number of readers without a lock: the writer never waits, readers
// retry while a store is in progress. The audio callback uses it to publish
// the playback clock, so a reader can never hold up the audio.
template <typename T> class SeqLock {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kWords = (sizeof(T) + sizeof(std::uint64_t) - 1) / 8;

public:
    SeqLock() { Store(T{}); }
    SeqLock(const SeqLock&) = delete;
    SeqLock& operator=(const SeqLock&) = delete;

    // One writer at a time (callers serialize writers themselves).
    void Store(const T& value) noexcept {
        std::array<std::uint64_t, kWords> words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const std::uint64_t sequence = m_sequence.load(std::memory_order_relaxed);
        m_sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i) {
            m_words[i].store(words[i], std::memory_order_relaxed);
        }
        m_sequence.store(sequence + 2, std::memory_order_release);
    }

    // Any thread. Never called from the audio callback when the writer is a
    // thread that can be preempted for long (it would spin).
    T Load() const noexcept {
        std::array<std::uint64_t, kWords> words{};
        for (int attempt = 0;; ++attempt) {
            const std::uint64_t before = m_sequence.load(std::memory_order_acquire);
            if ((before & 1U) == 0) {
                for (std::size_t i = 0; i < kWords; ++i) {
                    words[i] = m_words[i].load(std::memory_order_relaxed);
                }
                std::atomic_thread_fence(std::memory_order_acquire);
                if (m_sequence.load(std::memory_order_relaxed) == before) {
                    break;
                }
            }
            if (attempt > 64) {
                std::this_thread::yield();
            }
        }
        T value;
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T)); // trivially copyable
        return value;
    }

private:
    std::atomic<std::uint64_t> m_sequence{0};
    std::array<std::atomic<std::uint64_t>, kWords> m_words{};
};

} // namespace player
