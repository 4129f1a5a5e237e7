#pragma once
// One writer and several readers hammer one record; every copy a reader accepts must be one
// that the writer wrote whole. Shared by the GoogleTest case and the thread-sanitizer build.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shared_state.hpp"

namespace stress {

// Texts of generation n: the title names n, and each slot has a length and content that
// change with n, so a copy mixing two generations never matches any generation.
inline shared::Texts generation(unsigned n) {
  shared::Texts texts;
  texts.title = "gen " + std::to_string(n);
  for (unsigned s = 0; s < shared::SLOT_COUNT; ++s) {
    const char fill = static_cast<char>('a' + (n + s) % 26);
    texts.slots[s] = std::to_string(n) + std::string(20 + (n * 7 + s * 13) % 400, fill) + "\xF0\x9F\x8E\xA5";
  }
  return texts;
}

struct Outcome {
  long accepted = 0;
  long torn = 0;
};

inline Outcome run(unsigned writes, unsigned readers) {
  auto state = std::make_unique<shared::SharedState>();
  std::atomic<bool> done{false};
  std::atomic<long> accepted{0}, torn{0};

  std::vector<std::thread> threads;
  for (unsigned r = 0; r < readers; ++r) {
    threads.emplace_back([&] {
      while (!done.load(std::memory_order_relaxed)) {
        const shared::Texts copy = state->read_text();
        if (copy == shared::Texts{}) continue;  // before the first write, or no settled copy
        const unsigned n = static_cast<unsigned>(std::stoul(copy.title.substr(4)));
        if (copy == generation(n)) {
          accepted.fetch_add(1, std::memory_order_relaxed);
        } else {
          torn.fetch_add(1, std::memory_order_relaxed);
        }
      }
    });
  }
  for (unsigned n = 0; n < writes; ++n) {
    const shared::Texts texts = generation(n);
    state->write_text(texts.title, texts.slots);
  }
  done = true;
  for (auto& t : threads) t.join();
  return {accepted.load(), torn.load()};
}

}  // namespace stress
