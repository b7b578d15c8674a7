#include "renamefolder.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qm::test {

namespace fs = std::filesystem;

RenameFolder::RenameFolder(const std::string& base) {
    static std::atomic<int> serial{0};
    const fs::path root = base.empty() ? fs::temp_directory_path() : fs::path(base);
    const fs::path dir =
        root / ("qm-rename-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(dir);
    // Others may pass through: some tests rename as an unprivileged user.
    fs::permissions(dir, fs::perms(0755));
    path_ = dir.string() + "/";
}

RenameFolder::~RenameFolder() {
    std::error_code ignored;
    // A test may leave a folder read-only; give write access back so that it can go.
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void RenameFolder::Make(const std::string& name) const {
    if (name.ends_with('/')) {
        fs::create_directories(path_ + name);
    } else if (const auto at = name.find('@'); at != std::string::npos) {
        fs::create_symlink(name.substr(at + 1), path_ + name.substr(0, at));
    } else {
        std::ofstream out(path_ + name, std::ios::binary);
        out << name;
        if (!out)
            throw std::runtime_error("cannot make " + path_ + name);
    }
}

std::map<std::string, std::vector<std::string>> RenameFolder::Contents() const {
    std::map<std::string, std::vector<std::string>> found;
    for (const auto& entry : fs::recursive_directory_iterator(path_)) {
        if (!entry.is_regular_file() || entry.is_symlink())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        found[std::string(std::istreambuf_iterator<char>(in), {})].push_back(
            fs::relative(entry.path(), path_).string());
    }
    return found;
}

} // namespace qm::test
