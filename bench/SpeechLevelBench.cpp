// The loudness of one 1024-frame buffer, computed on the capture thread for every buffer.

#include <benchmark/benchmark.h>

#include <cmath>

#include "speech/SpeechEngine.h"

namespace vellotype {
namespace {

void BM_LevelOf1024FrameBuffer(benchmark::State& state) {
  AudioBuffer buffer{{48000, 1}, 1024, {std::vector<float>(1024)}};
  for (std::size_t i = 0; i < 1024; ++i) buffer.floatChannelData[0][i] = 0.3f * std::sin(0.05f * i);
  for (auto _ : state) benchmark::DoNotOptimize(SpeechEngine::level(buffer));
  state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_LevelOf1024FrameBuffer);

}  // namespace
}  // namespace vellotype

BENCHMARK_MAIN();
