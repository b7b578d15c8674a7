#include "langlib/langscan.h"

#include "langlib/langtext.h"
#include "langlib/lanreader.h"
#include "langlib/utf8text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

bool HasLanExtension(std::string_view name) {
    constexpr std::string_view extension = ".LAN";
    return name.size() >= extension.size() &&
           AsciiUpper(name.substr(name.size() - extension.size())) == extension;
}

// Texts are taken for the one package and language asked for.
class TOpenSink : public TLanSink {
public:
    explicit TOpenSink(TLangData& data)
        : data_(data), package_(FoldCase(data.Pack.PackageName)),
          language_(FoldCase(data.Pack.LanguageName)) {}

    void LanguageFound(std::string_view package, std::string_view language,
                       std::string_view native) override {
        // Of several matching LANGUAGE elements, the first that names itself wins, as the
        // first file wins for texts.
        if (Matches(package, language) && data_.Pack.NativeName.empty()) {
            data_.Pack.NativeName = native;
        }
    }

    void TextFound(std::string_view package, std::string_view language,
                   std::string_view attributes) override {
        if (Matches(package, language)) {
            data_.Texts.push_back(MakeLangText(attributes));
        }
    }

private:
    // Package and language change seldom while texts come by the hundred: the last answer
    // is kept so that most texts cost two string compares instead of two foldings.
    bool Matches(std::string_view package, std::string_view language) {
        if (!known_ || package != lastPackage_ || language != lastLanguage_) {
            lastPackage_ = package;
            lastLanguage_ = language;
            lastMatch_ = FoldCase(package) == package_ && FoldCase(language) == language_;
            known_ = true;
        }
        return lastMatch_;
    }

    TLangData& data_;
    std::u32string package_;
    std::u32string language_;
    bool known_ = false;
    std::string lastPackage_;
    std::string lastLanguage_;
    bool lastMatch_ = false;
};

// Every language of the package asked for, texts ignored.
class TSearchSink : public TLanSink {
public:
    TSearchSink(std::string_view package, std::vector<TLangSearchPack>& results)
        : package_(FoldCase(package)), results_(results) {}

    void LanguageFound(std::string_view package, std::string_view language,
                       std::string_view native) override {
        if (FoldCase(package) == package_) {
            results_.push_back({std::string(language), std::string(native)});
        }
    }

    void TextFound(std::string_view, std::string_view, std::string_view) override {}

private:
    std::u32string package_;
    std::vector<TLangSearchPack>& results_;
};

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

} // namespace qm
