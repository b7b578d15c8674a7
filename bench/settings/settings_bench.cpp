// Load and Save of the settings store: what start-up and shutdown pay for it, with a
// few schemes and with many. Runs in a temporary XDG_CONFIG_HOME.

#include "settings/settings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// A private configuration folder for the whole run.
class TempConfig {
public:
    TempConfig() {
        std::string pattern = (fs::temp_directory_path() / "qm-settings-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        ::setenv("XDG_CONFIG_HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (root_ / "machine").c_str(), 1);
    }
    ~TempConfig() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

private:
    fs::path root_;
};

void Fill(qm::TSettings& settings, int schemes) {
    settings.Width = 1024;
    settings.Columns = "Name,Newname,Size,ModDate";
    settings.Options.ReplaceGroup = true;
    settings.Options.ReplaceCount = 10;
    for (int i = 0; i < 10; ++i)
        settings.Options.ReplacePairs[static_cast<std::size_t>(i)] = {"find" + std::to_string(i),
                                                                      "with"};
    for (int k = 0; k < schemes; ++k) {
        settings.Options.InsertFrontText = "scheme " + std::to_string(k);
        settings.Schemas.SaveOptions("Scheme " + std::to_string(k), settings.Options);
    }
}

void BM_Save(benchmark::State& state) {
    TempConfig config;
    qm::TSettings settings;
    Fill(settings, static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (!settings.Save())
            state.SkipWithError("save failed");
}
BENCHMARK(BM_Save)->Arg(5)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
    TempConfig config;
    {
        qm::TSettings settings;
        Fill(settings, static_cast<int>(state.range(0)));
        settings.Save();
    }
    for (auto _ : state) {
        qm::TSettings settings;
        settings.Load();
        benchmark::DoNotOptimize(settings.Schemas.Count());
    }
}
BENCHMARK(BM_Load)->Arg(5)->Arg(200)->Unit(benchmark::kMillisecond);

// The whole store traffic of one run: load, start mark, save, exit mark.
void BM_Run(benchmark::State& state) {
    TempConfig config;
    qm::TSettings seed;
    Fill(seed, 20);
    seed.Save();
    for (auto _ : state) {
        qm::TSettings settings;
        settings.Load();
        settings.RegisterStart();
        settings.Save();
        settings.RegisterExit();
    }
}
BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond);

} // namespace
