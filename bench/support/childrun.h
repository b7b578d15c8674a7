#pragma once

// One program run as a child process, for benchmarks that measure a command: its wall
// time, its processor time and its own peak resident memory (wait4's ru_maxrss, which
// covers that child alone). Header-only: each benchmark program includes it once.

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace qm::bench {

struct ChildRun {
    bool Exited = false; // the child ran and exited (not killed, not failed to start)
    int ExitCode = -1;
    double Seconds = 0;    // wall time, start to exit
    double CpuSeconds = 0; // user + system
    long PeakKiB = 0;
};

// Runs `argv` (argv[0] a path) with its standard output sent to the file `out`
// (created or truncated), standard error left as it is, and waits for it.
inline ChildRun RunChild(const std::vector<std::string>& argv, const std::string& out) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    int status = 0;
    rusage usage{};
    if (posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ) == 0 &&
        wait4(child, &status, 0, &usage) == child) {
        run.Seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.Exited = WIFEXITED(status);
        run.ExitCode = run.Exited ? WEXITSTATUS(status) : -1;
        run.PeakKiB = usage.ru_maxrss;
        run.CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

} // namespace qm::bench
