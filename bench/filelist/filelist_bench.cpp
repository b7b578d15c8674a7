// Adding a large folder to the file list and sorting the list by name, also with numbers
// by value.
//
// The folder of 100,000 empty files is made once per run in a temporary folder and
// removed at the end. Run: build/bench/filelist_bench

#include "filelist/entrycomparer.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "filelist/iconnames.h"
#include "filelist/textcollator.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFileCount = 100000;

std::vector<std::string> MakeNames(int count) {
    static const char* const kWords[] = {"Holiday", "report", "Scan",  "invoice", "IMG",
                                         "draft",   "Ärger",  "notes", "Zebra",   "élan"};
    static const char* const kExtensions[] = {".jpg",  ".png",    ".txt", ".pdf", ".mp3",
                                              ".docx", ".tar.gz", "",     ".JPG", ".cpp"};
    std::mt19937 random(12345);
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string name = kWords[random() % 10];
        name += ' ';
        name += std::to_string(random() % 100000);
        name += '_';
        name += std::to_string(i);
        name += kExtensions[random() % 10];
        names.push_back(std::move(name));
    }
    return names;
}

// A folder of kFileCount empty files, made on first use and removed at exit.
class BigFolder {
public:
    static const BigFolder& Get() {
        static BigFolder folder;
        return folder;
    }
    const std::string& Path() const { return path_; }
    const std::vector<std::string>& Names() const { return names_; }

    ~BigFolder() {
        for (const std::string& name : names_)
            ::unlink((path_ + name).c_str());
        ::rmdir(path_.c_str());
    }

private:
    BigFolder() : names_(MakeNames(kFileCount)) {
        std::string pattern = "/tmp/qm-filelist-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern + "/";
        for (const std::string& name : names_) {
            const int fd = ::open((path_ + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0)
                std::abort();
            ::close(fd);
        }
    }

    std::string path_;
    std::vector<std::string> names_;
};

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

const qm::TTextCollator& NameCollator() {
    static const qm::TTextCollator collator;
    return collator;
}

qm::TFileItems::Compare ByName(bool ascending) {
    return [ascending](const qm::TFileItem& a, const qm::TFileItem& b) {
        const int result = NameCollator().Compare(a.Name(), b.Name());
        return ascending ? result : -result;
    };
}

// Reads the folder and adds every file with its properties, sorting once.
void BM_AddFolderSorted(benchmark::State& state) {
    const BigFolder& folder = BigFolder::Get();
    for (auto _ : state) {
        qm::TIconNames icons;
        qm::TFileList list(icons);
        list.Items().SetOnCompare(ByName(true));
        std::vector<qm::TFileItems::NewEntry> entries;
        for (std::string& name : ListFolder(folder.Path()))
            entries.push_back({std::move(name), folder.Path()});
        list.Items().AddMany(entries);
        benchmark::DoNotOptimize(list.Items().Items(0));
        if (list.Items().Count() != kFileCount)
            state.SkipWithError("files missing");
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_AddFolderSorted)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Only reading the properties: the folder added to a list that has no order.
void BM_AddFolderUnsorted(benchmark::State& state) {
    const BigFolder& folder = BigFolder::Get();
    for (auto _ : state) {
        qm::TIconNames icons;
        qm::TFileList list(icons);
        std::vector<qm::TFileItems::NewEntry> entries;
        for (std::string& name : ListFolder(folder.Path()))
            entries.push_back({std::move(name), folder.Path()});
        list.Items().AddMany(entries);
        benchmark::DoNotOptimize(list.Items().Items(0));
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_AddFolderUnsorted)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same, adding file by file: each one goes to its sorted place.
void BM_AddFolderOneByOne(benchmark::State& state) {
    const BigFolder& folder = BigFolder::Get();
    for (auto _ : state) {
        qm::TIconNames icons;
        qm::TFileList list(icons);
        list.Items().SetOnCompare(ByName(true));
        for (const std::string& name : ListFolder(folder.Path()))
            list.Items().Add(name, folder.Path());
        benchmark::DoNotOptimize(list.Items().Items(0));
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_AddFolderOneByOne)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Sorting 100,000 entries by name, alternately up and down so that every sort has work.
void BM_SortByName(benchmark::State& state) {
    qm::TIconNames icons;
    qm::TFileList list(icons);
    for (const std::string& name : MakeNames(kFileCount))
        list.Items().Add(name, "/nonexistent-qm-bench/");
    bool ascending = true;
    for (auto _ : state) {
        list.Items().SetOnCompare(ByName(ascending));
        list.Items().Sort();
        ascending = !ascending;
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same with each entry's collation key made once per sort.
void BM_SortByNameKeys(benchmark::State& state) {
    qm::TIconNames icons;
    qm::TFileList list(icons);
    for (const std::string& name : MakeNames(kFileCount))
        list.Items().Add(name, "/nonexistent-qm-bench/");
    bool ascending = true;
    for (auto _ : state) {
        list.Items().SetOnCompare(ByName(ascending));
        list.Items().SetSortKey([ascending](const qm::TFileItem& entry) {
            std::string key = NameCollator().SortKey(entry.Name());
            if (!ascending) // the complement reverses the byte order of keys...
                for (char& c : key)
                    c = static_cast<char>(~c);
            key.push_back(ascending ? '\0' : '\xFF'); // ...and of prefixes
            return key;
        });
        list.Items().Sort();
        ascending = !ascending;
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SortByNameKeys)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Sorting 100,000 entries by name as the window sorts them, through the list's comparer,
// with runs of digits compared as text (0) and by value (1).
void BM_SortByNameComparer(benchmark::State& state) {
    qm::TIconNames icons;
    qm::TFileList list(icons);
    for (const std::string& name : MakeNames(kFileCount))
        list.Items().Add(name, "/nonexistent-qm-bench/");
    qm::TEntryComparer comparer;
    comparer.Install(list.Items());
    comparer.SetColumns({qm::ColumnId::Name});
    comparer.SetSortColumn(0);
    comparer.SetNumbersByValue(state.range(0) != 0);
    for (auto _ : state) {
        comparer.SetSortDeclining(!comparer.SortDeclining());
        list.Items().Sort();
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SortByNameComparer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Sorting 100,000 entries in 500 folders four levels deep by the folder column, whose key
// is made part by part.
void BM_SortByFolderComparer(benchmark::State& state) {
    qm::TIconNames icons;
    qm::TFileList list(icons);
    const std::vector<std::string> names = MakeNames(kFileCount);
    for (std::size_t i = 0; i < names.size(); ++i)
        list.Items().Add(names[i], "/home/someone/Pictures/trip " + std::to_string(i % 500) +
                                       "/day " + std::to_string(i % 7) + "/");
    qm::TEntryComparer comparer;
    comparer.Install(list.Items());
    comparer.SetColumns({qm::ColumnId::Path});
    comparer.SetSortColumn(0);
    for (auto _ : state) {
        comparer.SetSortDeclining(!comparer.SortDeclining());
        list.Items().Sort();
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}
BENCHMARK(BM_SortByFolderComparer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
