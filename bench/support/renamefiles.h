#pragma once

// Folders of empty, numbered files for the rename benchmarks. Header-only: each
// benchmark program includes it once.

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace qm::bench {

// This benchmark process's own folder, "<QM_BENCH_DIR or /dev/shm>/qm-<what>-bench-<pid>";
// made by whoever puts files in it, removed at the end of main().
inline std::string BenchFolder(const std::string& what) {
    const char* dir = std::getenv("QM_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qm-" + what + "-bench-" +
           std::to_string(getpid());
}

// "file_000000.jpg", "file_000001.jpg", ...
inline std::vector<std::string> NumberedNames(int count) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "file_%06d.jpg", i);
        names.emplace_back(name);
    }
    return names;
}

// A fresh folder below `base` holding every name as an empty file; returns it, ending in
// "/". Throws when a file cannot be made.
inline std::string MakeFolderOfFiles(const std::string& base,
                                     const std::vector<std::string>& names) {
    static int serial = 0;
    const std::string dir = base + "/run" + std::to_string(serial++) + "/";
    std::filesystem::create_directories(dir);
    for (const std::string& name : names) {
        const int fd = open((dir + name).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot make " + dir + name);
        close(fd);
    }
    return dir;
}

} // namespace qm::bench
