#include "cli/previewcommand.h"

#include "engine/newname.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qm::cli {

bool WritePreview(const RenameOptionSet& options, std::int64_t start,
                  const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& path = names[k];
        const std::size_t slash = path.rfind('/');
        const std::size_t bareAt = slash == std::string::npos ? 0 : slash + 1;
        // The number is a 32-bit value that wraps, as the window's counter does.
        const auto number = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(start + static_cast<std::int64_t>(k)));
        out.assign(path);
        out += '\t';
        out.append(path, 0, bareAt);
        out += ComputeNewName(options, std::string_view(path).substr(bareAt), number);
        out += '\n';
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    return std::fflush(stdout) == 0;
}

int RunPreview(const PreviewArgs& args) {
    RenameOptionSet options;
    if (auto error = LoadScheme(args.scheme, options)) {
        std::fprintf(stderr, "quillmark-cli preview: %s\n", error->c_str());
        return 2;
    }
    if (!WritePreview(options, args.start.value_or(options.NumberIncValue), args.names)) {
        std::fprintf(stderr, "quillmark-cli preview: cannot write the names: %s\n",
                     std::strerror(errno));
        return 2;
    }
    return 0;
}

} // namespace qm::cli
