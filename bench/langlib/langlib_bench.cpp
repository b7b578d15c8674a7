// Opening a language of 300 texts spread over three files, and looking texts up by name,
// through the exported interface of libvocalith.so as the program calls it.

#include "langlib/vocalith.h"
#include "tests/support/lanfolder.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int FileCount = 3;
constexpr int TextsPerFile = 100;
constexpr const char* Package = "Marlowick Quillmark";

std::string Name(int file, int text) {
    return "TEXTKEY_" + std::to_string(file) + "_" + std::to_string(text);
}

// Each file holds the English texts and, after them, as many German ones, so the
// reader also skips texts it does not want.
std::string Texts(int file, const char* language) {
    std::string texts;
    for (int t = 0; t < TextsPerFile; ++t) {
        texts += "<TEXT ID=\"" + std::to_string(file * 1000 + t) + "\" NAME=\"" + Name(file, t) +
                 "\" KEY=\"s\" TEXT=\"" + language + " sample text number " + std::to_string(t) +
                 "\\nwith a second line\">\r\n";
    }
    return texts;
}

const qm::test::TLanFolder& Folder() {
    static const qm::test::TLanFolder folder;
    static const bool written = [] {
        for (int f = 0; f < FileCount; ++f) {
            folder.Write("part" + std::to_string(f) + ".lan",
                         qm::test::LanFile(Package, "English", "English", Texts(f, "English")) +
                             qm::test::LanFile(Package, "German", "Deutsch", Texts(f, "German")));
        }
        return true;
    }();
    (void)written;
    return folder;
}

void BM_OpenLanguage(benchmark::State& state) {
    const std::string location = Folder().Slashed();
    for (auto _ : state) {
        uint16_t handle = 0;
        OpenLanguage(&handle, location.c_str(), Package, "English");
        benchmark::DoNotOptimize(handle);
        CloseLanguage(handle);
    }
}
BENCHMARK(BM_OpenLanguage)->Unit(benchmark::kMicrosecond);

// 10,000 look-ups per iteration, cycling through every name in lower case, so the
// comparison has to ignore letter case.
void BM_GetTextByName10000(benchmark::State& state) {
    const std::string location = Folder().Slashed();
    uint16_t handle = 0;
    OpenLanguage(&handle, location.c_str(), Package, "English");
    std::vector<std::string> names;
    for (int f = 0; f < FileCount; ++f) {
        for (int t = 0; t < TextsPerFile; ++t) {
            std::string name = Name(f, t);
            for (char& c : name) {
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
            names.push_back(name);
        }
    }
    if (GetTextByName(&handle, names.back().c_str())[0] == '\0') {
        state.SkipWithError("the last text was not found");
    }
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) {
            benchmark::DoNotOptimize(GetTextByName(&handle, names[i % names.size()].c_str()));
        }
    }
    CloseLanguage(handle);
}
BENCHMARK(BM_GetTextByName10000)->Unit(benchmark::kMillisecond);

} // namespace
