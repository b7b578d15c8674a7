#include "app/list/commandpath.h"

namespace qm {

SplitPath SplitCommandLinePath(const std::string& arg, const std::string& currentFolder) {
    const std::string full = !arg.empty() && arg[0] == '/' ? arg : currentFolder + arg;
    const std::size_t slash = full.rfind('/');
    if (slash == std::string::npos) {
        return {std::string(), full};
    }
    return {full.substr(0, slash + 1), full.substr(slash + 1)};
}

} // namespace qm
