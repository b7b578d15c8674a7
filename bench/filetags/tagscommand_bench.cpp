// quillmark-cli preview of 10,000 small JPEGs with EXIF data (named by the date taken) and
// of 10,000 MP3s with tags (named by track and title), the files on /dev/shm (or
// QM_BENCH_DIR): the time from start to the last name written, tags read on several
// threads.
//
//   build/bench/tagscommand_bench --benchmark_repetitions=5

#include "mediafiles.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 10'000;

class TBenchFolder {
public:
    TBenchFolder() {
        const char* base = std::getenv("QM_BENCH_DIR");
        dir_ = fs::path(base ? base : "/dev/shm") / ("qm-tags-bench-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    ~TBenchFolder() { fs::remove_all(dir_); }
    const fs::path& Dir() const { return dir_; }

    // `count` copies of the file `make` writes, "<stem>_00000<ext>"...: the reader's work
    // is the same for each, and making them takes no time worth waiting for.
    template <class Make>
    std::vector<std::string> Copies(const std::string& stem, const std::string& ext, Make make) {
        const fs::path first = dir_ / (stem + ext);
        make(first.string());
        std::vector<std::string> paths;
        char number[16];
        for (int i = 0; i < kFiles; ++i) {
            std::snprintf(number, sizeof number, "_%05d", i);
            paths.push_back((dir_ / (stem + number + ext)).string());
            fs::copy_file(first, paths.back());
        }
        fs::remove(first);
        return paths;
    }

private:
    fs::path dir_;
};

TBenchFolder& Folder() {
    static TBenchFolder folder;
    return folder;
}

void TimePreview(benchmark::State& state, const std::vector<std::string>& paths,
                 const std::string& insertText, const std::string& firstNewName) {
    const fs::path scheme = Folder().Dir() / "bench.scheme";
    std::ofstream(scheme) << "Version=1\nInsertGroup=true\nInsertTags=true\nInsertFront=true\n"
                             "InsertFrontText="
                          << insertText << "\n";
    const std::string out = (Folder().Dir() / "out").string();
    const std::string program = std::string(QUILLMARK_BIN_DIR) + "/quillmark-cli";
    std::vector<const char*> argv = {program.c_str(), "preview", "--scheme-file", scheme.c_str(),
                                     "--"};
    for (const std::string& path : paths)
        argv.push_back(path.c_str());
    argv.push_back(nullptr);
    double cpuSeconds = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t child = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(argv.data()),
                        environ) != 0 ||
            wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            state.SkipWithError("quillmark-cli preview failed");
        posix_spawn_file_actions_destroy(&actions);
        cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        state.PauseTiming();
        // Every name came out, and the tags were in them.
        std::ifstream lines(out);
        std::string line, first;
        int count = 0;
        while (std::getline(lines, line))
            if (count++ == 0)
                first = line;
        if (count != kFiles || first.find(firstNewName) == std::string::npos)
            state.SkipWithError(("unexpected output: " + first).c_str());
        state.ResumeTiming();
    }
    // The command's own processor time over all its threads.
    state.counters["child_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000.0, benchmark::Counter::kAvgIterations);
}

void BM_PreviewPhotosByDateTaken(benchmark::State& state) {
    static const std::vector<std::string> paths =
        Folder().Copies("IMG", ".jpg", [](const std::string& path) {
            qm::test::WriteJpeg(path, {"2024:05:06 07:08:09", "Maker", "Model", 64, 48});
        });
    TimePreview(state, paths, "<taken:yyyy-MM-dd HH.mm.ss> ", "2024-05-06 07.08.09 IMG_00000");
}

void BM_PreviewSongsByTrackAndTitle(benchmark::State& state) {
    static const std::vector<std::string> paths =
        Folder().Copies("song", ".mp3", [](const std::string& path) {
            qm::test::WriteMusic(path, qm::test::MusicKind::Mp3,
                                 {"Artist", "", "Album", "Title", "Rock", "7/12", "", "1999"});
        });
    TimePreview(state, paths, "<track:2> <title> - ", "07 Title - song_00000");
}

BENCHMARK(BM_PreviewPhotosByDateTaken)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewSongsByTrackAndTitle)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
