// Reading a scheme text. Stored schemes are a few kilobytes, but the command line hands
// the reader any file it is given, so a long text without "=" signs (a log, a binary)
// must read in one pass: the complexity reported here should be N, not N^2.

#include "settings/optionschemas.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string TextWithoutEquals(std::size_t size) {
    std::string text = "Version=1\rRemoveGroup=true";
    text.reserve(size + 16);
    while (text.size() < size)
        text += "\rsome line";
    return text;
}

void ReadTextWithoutEquals(benchmark::State& state) {
    const std::string text = TextWithoutEquals(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        qm::RenameOptionSet options;
        qm::ReadSchemeText(text, options);
        benchmark::DoNotOptimize(options.RemoveGroup);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ReadTextWithoutEquals)
    ->RangeMultiplier(4)
    ->Range(1 << 14, 1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace
