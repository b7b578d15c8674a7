#pragma once

#include <string>
#include <vector>

namespace qm::cli {

// `quillmark-cli preview ...` with the arguments after "preview". Prints one
// "NAME<TAB>NEW NAME" line per name on stdout; never touches a file but the scheme
// file. Returns the process exit code (0, or 2 after one line on stderr).
int RunPreview(const std::vector<std::string>& args);

} // namespace qm::cli
