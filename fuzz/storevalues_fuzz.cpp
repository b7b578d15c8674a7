// Any bytes as the user's settings store file, in a private XDG_CONFIG_HOME. Checked: the
// settings load without a crash; the file is either still in its place or moved aside
// whole (the bytes kept, never lost); and what was read, saved and read again, reads the
// same.
//
// QM_STORE_SEEDS=<folder> writes a seed store there with the settings' own writer.

#include "fuzz/fuzzsupport.h"
#include "settings/settings.h"
#include "settings/storepaths.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qm::fuzz::Check;

std::string Folder() {
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Marlowick/";
}

void EmptyFolder() {
    qm::fuzz::EmptyFolder(Folder());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Fill(qm::TSettings& s) {
    s.Language = "Deutsch";
    s.Width = 812;
    s.Columns = "Name,Newname,Size";
    s.CurrentSchema = "photos";
    s.Options.InsertGroup = s.Options.InsertFront = true;
    s.Options.InsertFrontText = "<taken:yyyy-MM-dd> ";
    s.Options.ReplaceGroup = s.Options.ReplaceEnabled = true;
    s.Options.ReplaceCount = 2;
    s.Options.ReplacePairs[0] = {"a:b", "c"};
    s.Options.ReplacePairs[1] = {"x", ""};
    s.Schemas.SaveOptions("photos", s.Options);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/tmp/storevalues-fuzz-XXXXXX";
    Check(mkdtemp(name) != nullptr);
    setenv("XDG_CONFIG_HOME", name, 1);
    setenv("XDG_CONFIG_DIRS", name, 1);
    Check(mkdir(Folder().c_str(), 0700) == 0);
    if (const char* seeds = std::getenv("QM_STORE_SEEDS")) {
        qm::TSettings s;
        s.Load();
        Fill(s);
        Check(s.Save());
        std::ofstream(std::string(seeds) + "/registry.db", std::ios::binary)
            << ReadAll(qm::UserStorePath());
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EmptyFolder();
    const std::string path = qm::UserStorePath();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(path, std::ios::binary) << bytes;

    qm::TSettings first;
    first.Load();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        // Moved aside: the bytes are kept beside it.
        bool kept = false;
        DIR* dir = opendir(Folder().c_str());
        while (const dirent* entry = readdir(dir))
            kept |= std::string_view(entry->d_name).starts_with("registry.db.broken-") &&
                    ReadAll(Folder() + entry->d_name) == bytes;
        closedir(dir);
        Check(kept);
        return 0;
    }
    if (!first.Save())
        return 0;
    qm::TSettings second;
    second.Load();
    Check(second.Options == first.Options && second.Language == first.Language &&
          second.Columns == first.Columns && second.CurrentSchema == first.CurrentSchema &&
          second.Width == first.Width && second.Schemas.Count() == first.Schemas.Count());
    return 0;
}
