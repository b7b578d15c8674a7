#include "cli/schemescommand.h"

#include "settings/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qm::cli {
namespace {

void LoadSchemes(TSettings& settings, bool development) {
    settings.UseDevelopmentKey = development;
    settings.Load();
}

} // namespace

int RunSchemes(bool development) {
    TSettings settings;
    LoadSchemes(settings, development);
    std::string out;
    for (int i = 0; i < settings.Schemas.Count(); ++i) {
        out += settings.Schemas.Names(i);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillmark-cli schemes: cannot write the names: %s\n",
                     std::strerror(errno));
        return 2;
    }
    return 0;
}

std::optional<std::string> StoredSchemeText(const std::string& name, bool development) {
    TSettings settings;
    LoadSchemes(settings, development);
    const int index = settings.Schemas.IndexOf(name);
    if (index < 0)
        return std::nullopt;
    return settings.Schemas.Items(index).Text;
}

} // namespace qm::cli
