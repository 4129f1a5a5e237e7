// One 1280 x 720 frame to NV12 on one core: every form of bgra_to_nv12 this processor runs and
// the one bgra_to_nv12 chooses, beside libyuv's ARGBToNV12 on the same frame and a memcpy of the
// source frame, the floor that memory traffic sets.
#include <benchmark/benchmark.h>
#include <libyuv/convert_from_argb.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "math.hpp"
#include "math_nv12.hpp"

namespace {

struct Buffers {
  std::vector<std::uint8_t> source;
  std::vector<std::uint8_t> nv12;
  std::vector<std::uint8_t> copy;
};

Buffers& buffers() {
  static Buffers b = [] {
    Buffers made{std::vector<std::uint8_t>(math::RGB32_FRAME_BYTES),
                 std::vector<std::uint8_t>(math::NV12_FRAME_BYTES),
                 std::vector<std::uint8_t>(math::RGB32_FRAME_BYTES)};
    std::mt19937 random(20240611);
    for (auto& byte : made.source) byte = static_cast<std::uint8_t>(random());
    return made;
  }();
  return b;
}

void run_frames(benchmark::State& state, math::detail::Nv12Function convert) {
  Buffers& b = buffers();
  for (auto _ : state) {
    convert(b.source, math::RGB32_ROW_BYTES, b.nv12.data());
    benchmark::DoNotOptimize(b.nv12.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * math::RGB32_FRAME_BYTES));
}

void libyuv_frames(benchmark::State& state) {
  Buffers& b = buffers();
  constexpr int width = static_cast<int>(math::FRAME_WIDTH);
  constexpr int height = static_cast<int>(math::FRAME_HEIGHT);
  for (auto _ : state) {
    libyuv::ARGBToNV12(b.source.data(), static_cast<int>(math::RGB32_ROW_BYTES), b.nv12.data(),
                       width, b.nv12.data() + std::size_t{math::FRAME_WIDTH} * math::FRAME_HEIGHT,
                       width, width, height);
    benchmark::DoNotOptimize(b.nv12.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * math::RGB32_FRAME_BYTES));
}

void memcpy_frames(benchmark::State& state) {
  Buffers& b = buffers();
  for (auto _ : state) {
    std::memcpy(b.copy.data(), b.source.data(), b.source.size());
    benchmark::DoNotOptimize(b.copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * math::RGB32_FRAME_BYTES));
}

}  // namespace

int main(int argc, char** argv) {
  for (const auto& variant : math::detail::nv12_variants()) {
    if (!variant.supported) continue;
    benchmark::RegisterBenchmark(("bgra_to_nv12/" + std::string(variant.name)).c_str(), run_frames,
                                 variant.function)
        ->Unit(benchmark::kMicrosecond);
  }
  // bgra_to_nv12 itself, which runs the last supported form.
  std::string chosen;
  for (const auto& variant : math::detail::nv12_variants()) {
    if (variant.supported) chosen = variant.name;
  }
  benchmark::RegisterBenchmark(("bgra_to_nv12/chosen_" + chosen).c_str(), run_frames,
                               &math::bgra_to_nv12)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("libyuv_ARGBToNV12", libyuv_frames)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("memcpy_source_frame", memcpy_frames)->Unit(benchmark::kMicrosecond);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
