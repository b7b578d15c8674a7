#pragma once

#include <string>
#include <vector>

namespace qm::test {

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` (no shell), stdin closed, and collects its output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

// build/bin/<name>, from the QUILLMARK_BIN_DIR the test environment sets.
std::string BinPath(const std::string& name);

} // namespace qm::test
