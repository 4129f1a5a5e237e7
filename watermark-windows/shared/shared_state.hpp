#pragma once
// The record at the start of state.bin through which the helper tells every media source what
// to draw. One writer (the helper's main thread), any number of readers in other processes,
// no lock: word fields are atomics, the texts are guarded by a sequence counter.
//
// The record is only ever used in place inside a mapped view (page aligned), never copied.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "lib.hpp"

namespace shared {

inline constexpr std::size_t STATE_SIZE = 8192;
inline constexpr std::size_t RECORD_SIZE = 4252;
inline constexpr std::uint32_t STATE_MAGIC = 0x5654574D;
inline constexpr std::uint32_t STATE_VERSION = 1;
// FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA: what the helper asks for and what the
// file's access list grants built-in users.
inline constexpr std::uint32_t STATE_ACCESS = 0x0012008F;
inline constexpr std::uint64_t HEARTBEAT_TIMEOUT_MS = 5000;
inline constexpr std::size_t TITLE_UNITS = 64;
inline constexpr std::size_t SLOT_UNITS = 512;
inline constexpr int TEXT_COPY_ATTEMPTS = 1000;

struct Texts {
  std::string title;
  std::array<std::string, SLOT_COUNT> slots;

  friend bool operator==(const Texts&, const Texts&) = default;
};

// Spin-wait hint while a writer holds the counter odd: isb on ARM64, pause on x64.
void cpu_relax();

struct SharedState {
  std::atomic<std::uint32_t> magic;
  std::atomic<std::uint32_t> version;
  std::atomic<std::uint32_t> badge_on;
  std::atomic<std::uint32_t> audio_level_bits;
  std::atomic<std::uint64_t> heartbeat_ms;
  std::atomic<std::uint32_t> text_sequence;
  char16_t title[TITLE_UNITS];
  char16_t slot_text[SLOT_COUNT][SLOT_UNITS];

  // Replaces the title and all four slot texts in one guarded write; missing slots become
  // empty, slots after the fourth are ignored.
  void write_text(std::string_view title_text, std::span<const std::string> slots);

  // A consistent copy of the texts, or all empty when none was had in TEXT_COPY_ATTEMPTS.
  Texts read_text() const { return read_text_with(cpu_relax); }

  // read_text with the spin-wait hint supplied by the caller (tests count it).
  template <class Hint>
  Texts read_text_with(Hint&& hint) const;

  // Clamps to [0, 1]; NaN is stored as it is.
  void set_audio_level(float level);
  float audio_level() const;
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(offsetof(SharedState, magic) == 0);
static_assert(offsetof(SharedState, version) == 4);
static_assert(offsetof(SharedState, badge_on) == 8);
static_assert(offsetof(SharedState, audio_level_bits) == 12);
static_assert(offsetof(SharedState, heartbeat_ms) == 16);
static_assert(offsetof(SharedState, text_sequence) == 24);
static_assert(offsetof(SharedState, title) == 28);
static_assert(offsetof(SharedState, slot_text) == 156);
// The record ends at byte 4252; sizeof adds only the tail padding of its 8-byte alignment,
// which nothing reads or writes.
static_assert(offsetof(SharedState, slot_text) + sizeof(SharedState::slot_text) == RECORD_SIZE);
static_assert(sizeof(SharedState) <= STATE_SIZE);

// Zero-fills the buffer and stores at most size - 1 UTF-16 units of the text; the cut may
// split a surrogate pair. The buffer must not be empty.
void to_wide(std::string_view text, std::span<char16_t> buffer);

// The units up to the first NUL (or all of them), unpaired surrogates as U+FFFD.
std::string from_wide(std::span<const char16_t> buffer);

// Milliseconds since the Unix epoch by the system clock; 0 before the epoch.
std::uint64_t unix_ms();

namespace detail {

// The text units are accessed one by one as relaxed atomics: the copy may tear while a writer
// is active (and is then thrown away), but it is never a data race.
// The record is shared between processes, where an atomic built on a lock would guard one only.
static_assert(std::atomic_ref<char16_t>::is_always_lock_free);
inline void store_unit(char16_t& unit, char16_t value) {
  std::atomic_ref<char16_t>(unit).store(value, std::memory_order_relaxed);
}
inline char16_t load_unit(const char16_t& unit) {
  return std::atomic_ref<char16_t>(const_cast<char16_t&>(unit)).load(std::memory_order_relaxed);
}
}  // namespace detail

template <class Hint>
Texts SharedState::read_text_with(Hint&& hint) const {
  auto& sequence = const_cast<std::atomic<std::uint32_t>&>(text_sequence);
  char16_t title_copy[TITLE_UNITS];
  char16_t slot_copy[SLOT_COUNT][SLOT_UNITS];
  for (int attempt = 0; attempt < TEXT_COPY_ATTEMPTS; ++attempt) {
    const std::uint32_t before = sequence.load(std::memory_order_acquire);
    if (before & 1u) {
      hint();
      continue;
    }
    for (std::size_t i = 0; i < TITLE_UNITS; ++i) title_copy[i] = detail::load_unit(title[i]);
    for (std::size_t s = 0; s < SLOT_COUNT; ++s) {
      for (std::size_t i = 0; i < SLOT_UNITS; ++i) {
        slot_copy[s][i] = detail::load_unit(slot_text[s][i]);
      }
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    if (sequence.load(std::memory_order_relaxed) != before) continue;

    Texts texts;
    texts.title = from_wide(title_copy);
    for (std::size_t s = 0; s < SLOT_COUNT; ++s) texts.slots[s] = from_wide(slot_copy[s]);
    return texts;
  }
  return {};
}

}  // namespace shared
