#pragma once

// A temporary folder for language-file tests: created empty under $TMPDIR (or /tmp) and
// removed with everything in it when the object goes away.

#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <string_view>

namespace qm::test {

class TLanFolder {
public:
    TLanFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vocalith-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TLanFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TLanFolder(const TLanFolder&) = delete;
    TLanFolder& operator=(const TLanFolder&) = delete;

    // The folder without a trailing "/".
    const std::string& Path() const { return path_; }
    // The folder with a trailing "/", as the program passes it.
    std::string Slashed() const { return path_ + "/"; }

    // Writes `bytes` exactly (no line-end translation) to `name` in the folder.
    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream out(path_ + "/" + std::string(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::string path_;
};

// A well-formed language file: one package, one language, the given TEXT tags (each a
// complete "<TEXT ...>" tag), lines ended by CR LF.
inline std::string LanFile(std::string_view package, std::string_view language,
                           std::string_view native, std::string_view texts) {
    std::string file = "<IDENTIFICATION TYPE=\"LanguageFile\">\r\n";
    file += "<PACKAGE NAME=\"" + std::string(package) + "\">\r\n";
    file += "<LANGUAGE NAME=\"" + std::string(language) + "\" NATIVE=\"" + std::string(native) +
            "\">\r\n";
    file += texts;
    file += "\r\n</LANGUAGE>\r\n</PACKAGE>\r\n</IDENTIFICATION>\r\n";
    return file;
}

} // namespace qm::test
