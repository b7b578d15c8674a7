#include "langlib/langscan.h"

#include "langlib/langsinks.h"
#include "langlib/lanreader.h"
#include "langlib/utf8text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vocalith {

namespace {

bool HasLanExtension(std::string_view name) {
    constexpr std::string_view extension = ".LAN";
    return name.size() >= extension.size() &&
           AsciiUpper(name.substr(name.size() - extension.size())) == extension;
}

struct TFileCloser {
    int fd;
    ~TFileCloser() { ::close(fd); }
};

} // namespace

std::string NormaliseFolder(std::string_view folder) {
    std::string normalised(folder);
    if (normalised.empty() || normalised.back() != '/') {
        normalised.push_back('/');
    }
    return normalised;
}

std::vector<std::string> LanFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && HasLanExtension(name)) {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
        name.insert(0, folder);
    }
    return names;
}

bool ReadLanFile(const std::string& path, TLanSink& sink) {
    // O_NONBLOCK: a pipe named like a language file must not stall the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const TFileCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    TLanReader reader(sink);
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0 ||
            !reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            return true;
        }
    }
}

void LoadLanguage(TLangData& data) {
    TOpenSink sink(data);
    for (const std::string& path : LanFilesIn(NormaliseFolder(data.Pack.Location))) {
        ReadLanFile(path, sink);
    }
}

std::vector<TLangSearchPack> FindLanguages(std::string_view folder, std::string_view package) {
    std::vector<TLangSearchPack> results;
    TSearchSink sink(package, results);
    for (const std::string& path : LanFilesIn(NormaliseFolder(folder))) {
        ReadLanFile(path, sink);
    }
    return results;
}

} // namespace vocalith
