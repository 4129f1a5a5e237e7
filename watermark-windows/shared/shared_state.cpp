#include "shared_state.hpp"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>

#include "utf.hpp"

#if defined(_MSC_VER) && defined(_M_ARM64)
#include <intrin.h>
#elif defined(_MSC_VER) && defined(_M_X64)
#include <immintrin.h>
#endif

namespace shared {

// One instruction per architecture, each MSVC spelling right above its GNU twin. Only MSVC
// compiles the _M_ lines (clang for aarch64-w64-mingw32 defines __aarch64__ alone), so they
// hold nothing but the intrinsic's name.
void cpu_relax() {
#if defined(_MSC_VER) && defined(_M_ARM64)
  __isb(_ARM64_BARRIER_SY);
#elif defined(__aarch64__)
  __asm__ __volatile__("isb" ::: "memory");
#elif defined(_MSC_VER) && defined(_M_X64)
  _mm_pause();
#elif defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

void to_wide(std::string_view text, std::span<char16_t> buffer) {
  for (char16_t& unit : buffer) unit = 0;
  const std::u16string units = utf8_to_utf16_lossy(text);
  const std::size_t count = std::min(units.size(), buffer.size() - 1);
  for (std::size_t i = 0; i < count; ++i) buffer[i] = units[i];
}

std::string from_wide(std::span<const char16_t> buffer) {
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != 0) ++length;
  return utf16_to_utf8_lossy(std::u16string_view(buffer.data(), length));
}

void SharedState::write_text(std::string_view title_text, std::span<const std::string> slots) {
  // Both buffers are ready before the counter turns odd, so the odd window covers only the copy.
  char16_t title_buffer[TITLE_UNITS];
  char16_t slot_buffer[SLOT_COUNT][SLOT_UNITS];
  to_wide(title_text, title_buffer);
  for (std::size_t s = 0; s < SLOT_COUNT; ++s) {
    to_wide(s < slots.size() ? std::string_view(slots[s]) : std::string_view(), slot_buffer[s]);
  }

  // Sequence lock: the counter turns odd, the texts are stored, the counter turns even again;
  // a reader keeps its copy only when it read the same even count before (acquire) and after
  // (acquire fence, then the load) the copy. The release fence keeps the text stores behind the
  // odd count, so a reader that saw any of them also sees the count moved; the closing store's
  // release publishes the texts with the even count.
  //
  // The counter is stored, not incremented: it lives in the file and outlasts its writer. A
  // helper stopped between the two stores leaves it odd, and adding 2 per write would keep it
  // odd, and every reader empty-handed, for good. So the one writer goes to odd and then to even
  // from whatever it finds; an odd leftover simply stays odd until this copy is done.
  const std::uint32_t odd = text_sequence.load(std::memory_order_relaxed) | 1u;
  text_sequence.store(odd, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (std::size_t i = 0; i < TITLE_UNITS; ++i) detail::store_unit(title[i], title_buffer[i]);
  for (std::size_t s = 0; s < SLOT_COUNT; ++s) {
    for (std::size_t i = 0; i < SLOT_UNITS; ++i) {
      detail::store_unit(slot_text[s][i], slot_buffer[s][i]);
    }
  }
  text_sequence.store(odd + 1, std::memory_order_release);
}

void SharedState::set_audio_level(float level) {
  if (level < 0.0f) level = 0.0f;
  if (level > 1.0f) level = 1.0f;
  audio_level_bits.store(std::bit_cast<std::uint32_t>(level), std::memory_order_relaxed);
}

float SharedState::audio_level() const {
  return std::bit_cast<float>(audio_level_bits.load(std::memory_order_relaxed));
}

std::uint64_t unix_ms() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  return ms < 0 ? 0 : static_cast<std::uint64_t>(ms);
}

}  // namespace shared
