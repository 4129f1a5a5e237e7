// The stress run without GoogleTest, for the thread-sanitizer build.
#include <cstdio>

#include "seqlock_stress.hpp"

int main() {
  const stress::Outcome outcome = stress::run(5000, 3);
  std::printf("accepted %ld, torn %ld\n", outcome.accepted, outcome.torn);
  return outcome.torn == 0 && outcome.accepted > 0 ? 0 : 1;
}
