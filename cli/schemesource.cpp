#include "cli/schemesource.h"

#include "cli/schemescommand.h"
#include "settings/optionschemas.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::cli {

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit,
                                         std::string& error) {
    // Plain read(2), so that a folder or an unreadable device reports its own errno
    // instead of reading as empty text.
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    // A list of a hundred thousand paths is read in one piece, without regrowing.
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= limit)
        text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (text.size() + static_cast<std::size_t>(n) > limit) {
                error = "too large";
                text.clear();
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            if (!standardInput)
                close(fd);
            return text;
        } else if (errno != EINTR) {
            error = std::strerror(errno);
            break;
        }
    }
    if (!standardInput)
        close(fd);
    return std::nullopt;
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

std::optional<std::string> LoadScheme(const SchemeSource& source, RenameOptionSet& options) {
    if (source.name) {
        // A stored scheme is read exactly as the window reads it.
        auto text = StoredSchemeText(*source.name, source.development);
        if (!text)
            return "no scheme named '" + *source.name + "' in the " +
                   (source.development ? "development " : "") +
                   "settings (see 'quillmark-cli schemes')";
        ReadSchemeText(*text, options);
    } else {
        // A scheme is a few kilobytes (99 pairs included); anything far beyond that is
        // the wrong file, and a device such as /dev/zero would never end.
        constexpr std::size_t kMaxSchemeBytes = 16u << 20;
        std::string readError;
        auto text = ReadWholeFile(*source.file, kMaxSchemeBytes, readError);
        if (!text) {
            if (readError == "too large")
                readError = "too large for a scheme (more than 16 MiB)";
            return "cannot read scheme file '" + *source.file + "': " + readError;
        }
        // Editors that save UTF-8 with a byte order mark would otherwise glue it to the
        // "Version" key, and the whole file would silently apply nothing.
        if (text->starts_with("\xEF\xBB\xBF"))
            text->erase(0, 3);
        ReadSchemeText(NormalizeLineEnds(*text), options);
    }
    // The window's list keeps the pairs sorted, and they apply in that order.
    SortReplacePairs(options);
    return std::nullopt;
}

} // namespace qm::cli
