#include "cli/schemesource.h"

#include "cli/schemescommand.h"
#include "engine/newname.h"
#include "engine/replacepatterns.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <limits>
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

std::optional<std::string> ReadPathList(const std::string& list, bool nullSeparated,
                                        std::string& problem) {
    std::string readError;
    std::optional<std::string> text =
        ReadWholeFile(list, std::numeric_limits<std::size_t>::max(), readError);
    if (!text) {
        problem = "cannot read the list '" + list + "': " + readError;
        return std::nullopt;
    }
    // A file name cannot hold a NUL byte; the system would stop reading the name there
    // and rename some other file.
    if (!nullSeparated && text->find('\0') != std::string::npos) {
        problem = "the list '" + list + "' holds a NUL byte (use -0 for a NUL-separated list)";
        return std::nullopt;
    }
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

namespace {

// Why a text read as a scheme gave no options, in words for the user; "" when it did.
std::string RefusalReason(const SchemeRead& read) {
    switch (read.Result) {
    case SchemeRead::Verdict::Applied:
        return "";
    case SchemeRead::Verdict::NoVersion:
        return "it has no 'Version=1' line";
    case SchemeRead::Verdict::OtherVersion:
        return "it is of version " + std::to_string(read.Version) + ", and only version 1 is read";
    case SchemeRead::Verdict::NulInValue:
        return "the value of '" + read.Key + "' holds a NUL byte, which no file name can hold";
    }
    return "";
}

} // namespace

std::optional<std::string> LoadScheme(const SchemeSource& source, RenameOptionSet& options) {
    if (source.name) {
        // A stored scheme is read exactly as the window reads it.
        auto text = StoredSchemeText(*source.name, source.development);
        if (!text)
            return "no scheme named '" + *source.name + "' in the " +
                   (source.development ? "development " : "") +
                   "settings (see 'quillmark-cli schemes')";
        if (const std::string reason = RefusalReason(ReadSchemeText(*text, options));
            !reason.empty())
            return "the scheme '" + *source.name + "' cannot be used: " + reason;
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
        // A file that sets nothing is the wrong file or a broken one: running with the
        // defaults would leave every name as it is and say nothing about why.
        const std::string lines = NormalizeLineEnds(*text);
        const std::string reason =
            lines.empty() ? "it is empty" : RefusalReason(ReadSchemeText(lines, options));
        if (!reason.empty())
            return *source.file + " is not a scheme file: " + reason;
    }
    // The window's start-number field holds the number within its range, and so does the
    // run once it counts; a scheme's number outside it is taken as the field would take it.
    options.NumberIncValue = std::clamp(options.NumberIncValue, 0, MaxNumberIncValue);
    // The window's list keeps the pairs sorted, and they apply in that order.
    SortReplacePairs(options);
    // A pattern that does not compile would fail every entry: refuse it before anything
    // is read or moved, the way the window refuses to add it. The pair is named by its
    // find text: its place in the sorted list is no line of the file.
    if (const auto problem = FindPatternProblem(options))
        return "the find text '" +
               options.ReplacePairs[static_cast<std::size_t>(problem->Pair)].Replace +
               "' cannot be used: at character " + std::to_string(problem->Offset + 1) + ", " +
               problem->Reason;
    return std::nullopt;
}

} // namespace qm::cli
