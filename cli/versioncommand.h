#pragma once

#include <string>

namespace qm::cli {

// `quillmark-cli --version`: prints the product name, a space and the long version
// ("Quillmark 2.01.43") as the version block of the program file `exePath` gives them.
// Returns the process exit code: 0, or 1 after a line on stderr when the file carries
// no version block.
int RunVersion(const std::string& exePath = "/proc/self/exe");

} // namespace qm::cli
