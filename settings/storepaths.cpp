#include "settings/storepaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qm {
namespace {

constexpr char kStoreFile[] = "/Marlowick/registry.db";

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return {};
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

} // namespace

std::string UserStorePath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string folder = configHome && configHome[0] == '/'
                             ? std::string(configHome)
                             : WithoutTrailingSlashes(HomeFolder()) + "/.config";
    folder = WithoutTrailingSlashes(folder);
    return (folder == "/" ? std::string() : folder) + kStoreFile;
}

std::string MachineStorePath() {
    std::string folder = "/etc/xdg";
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        const std::string list(dirs);
        for (std::size_t start = 0; start <= list.size();) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start && list[start] == '/') {
                folder = WithoutTrailingSlashes(list.substr(start, end - start));
                break;
            }
            start = end + 1;
        }
    }
    return (folder == "/" ? std::string() : folder) + kStoreFile;
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExecutableName() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace qm
