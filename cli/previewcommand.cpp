#include "cli/previewcommand.h"

#include "cli/schemescommand.h"
#include "engine/newname.h"
#include "engine/renameoptionset.h"
#include "settings/optionschemas.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace qm::cli {
namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "quillmark-cli preview: %s\n", message.c_str());
    return 2;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& error) {
    // Plain read(2), so that a folder or an unreadable device reports its own errno
    // instead of reading as an empty scheme.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    // A scheme is a few kilobytes (99 pairs included); anything far beyond that is the
    // wrong file, and a device such as /dev/zero would never end.
    constexpr std::size_t kMaxSchemeBytes = 16u << 20;
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (text.size() + static_cast<std::size_t>(n) > kMaxSchemeBytes) {
                error = "too large for a scheme (more than 16 MiB)";
                close(fd);
                return std::nullopt;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = std::strerror(errno);
            close(fd);
            return std::nullopt;
        }
    }
    close(fd);
    return text;
}

std::optional<std::int32_t> ParseInt32(const std::string& text) {
    constexpr std::int32_t kNotANumber = INT32_MIN;
    // ReadNumberText gives its fallback for anything that is not an integer; ask twice
    // with different fallbacks so that INT32_MIN itself is still accepted.
    std::int32_t a = ReadNumberText(text, kNotANumber);
    std::int32_t b = ReadNumberText(text, 0);
    if (a == kNotANumber && b == 0)
        return std::nullopt;
    return a;
}

struct PreviewArgs {
    std::string schemeFile;
    std::optional<std::string> schemeName; // a scheme of the settings store instead of a file
    bool development = false;              // the development settings
    std::optional<std::int32_t> start;
    std::vector<std::string> names;
};

// Returns an error message, or nothing when `args` parsed.
std::optional<std::string> ParseArgs(const std::vector<std::string>& args, PreviewArgs& out) {
    bool haveSchemeFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const std::string& option) -> std::optional<std::string> {
            if (arg.size() > option.size() && arg.compare(0, option.size() + 1, option + "=") == 0)
                return arg.substr(option.size() + 1);
            if (arg == option && i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (arg == "--") {
            out.names.insert(out.names.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg == "--scheme-file" || arg.starts_with("--scheme-file=")) {
            auto v = value("--scheme-file");
            if (!v)
                return "option '--scheme-file' needs a file name";
            out.schemeFile = *v;
            haveSchemeFile = true;
        } else if (arg == "--scheme" || arg.starts_with("--scheme=")) {
            auto v = value("--scheme");
            if (!v)
                return "option '--scheme' needs a scheme name";
            out.schemeName = *v;
        } else if (arg == "--debug") {
            out.development = true;
        } else if (arg == "--start" || arg.starts_with("--start=")) {
            auto v = value("--start");
            if (!v)
                return "option '--start' needs a number";
            out.start = ParseInt32(*v);
            if (!out.start)
                return "'" + *v + "' is not a whole number from -2147483648 to 2147483647";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "' (use -- before names that begin with '-')";
        } else {
            out.names.push_back(arg);
        }
    }
    if (haveSchemeFile && out.schemeName)
        return "give either '--scheme NAME' or '--scheme-file FILE', not both";
    if (!haveSchemeFile && !out.schemeName)
        return "missing '--scheme NAME' or '--scheme-file FILE'";
    return std::nullopt;
}

} // namespace

int RunPreview(const std::vector<std::string>& args) {
    PreviewArgs parsed;
    if (auto error = ParseArgs(args, parsed))
        return Fail(*error);

    RenameOptionSet options;
    if (parsed.schemeName) {
        // A stored scheme is read exactly as the window reads it.
        auto text = StoredSchemeText(*parsed.schemeName, parsed.development);
        if (!text)
            return Fail("no scheme named '" + *parsed.schemeName + "' in the " +
                        (parsed.development ? "development " : "") +
                        "settings (see 'quillmark-cli schemes')");
        ReadSchemeText(*text, options);
    } else {
        std::string readError;
        auto text = ReadWholeFile(parsed.schemeFile, readError);
        if (!text)
            return Fail("cannot read scheme file '" + parsed.schemeFile + "': " + readError);
        // Editors that save UTF-8 with a byte order mark would otherwise glue it to the
        // "Version" key, and the whole file would silently apply nothing.
        if (text->starts_with("\xEF\xBB\xBF"))
            text->erase(0, 3);
        ReadSchemeText(NormalizeLineEnds(*text), options);
    }
    // The window's list keeps the pairs sorted, and they apply in that order.
    SortReplacePairs(options);

    const std::int64_t start = parsed.start.value_or(options.NumberIncValue);
    std::string out;
    for (std::size_t k = 0; k < parsed.names.size(); ++k) {
        const std::string& path = parsed.names[k];
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
    if (std::fflush(stdout) != 0)
        return Fail(std::string("cannot write the names: ") + std::strerror(errno));
    return 0;
}

} // namespace qm::cli
