#pragma once

#include <string>

namespace qm::cli {

// `quillmark-cli --version`: prints the command, the product name in parentheses and the
// dotted version ("quillmark-cli (Quillmark) 2.1.0.43") as the version block of the
// program file `exePath` gives them.
// Returns the process exit code: 0, or 1 after a line on stderr when the file carries
// no version block.
int RunVersion(const std::string& exePath = "/proc/self/exe");

} // namespace qm::cli
