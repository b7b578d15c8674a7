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
    const std::string line = version.GetInfo(TVersionInfo::InfoProductName) + " " +
                             version.GetInfo(TVersionInfo::InfoLongVersion) + "\n";
    std::fputs(line.c_str(), stdout);
    return 0;
}

} // namespace qm::cli
