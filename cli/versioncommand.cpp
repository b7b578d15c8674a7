#include "cli/versioncommand.h"

#include "filelist/versioninfo.h"

#include <cstdio>

namespace qm::cli {

int RunVersion(const std::string& exePath) {
    TVersionInfo version;
    version.LoadFromFile(exePath);
    if (!version.HasVersionData()) {
        std::fprintf(stderr, "quillmark-cli: no version information in %s\n", exePath.c_str());
        return 1;
    }
    // The GNU form: the command, its package in parentheses, the version.
    const std::string line = "quillmark-cli (" + version.GetInfo(TVersionInfo::InfoProductName) +
                             ") " + version.DottedVersion() + "\n";
    std::fputs(line.c_str(), stdout);
    return 0;
}

} // namespace qm::cli
