#include "cli/handnames.h"

#include "cli/givenpath.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace qm::cli {
namespace {

// Calls `each(lineNumber, line)` for every line of `text`, counting from 1; a CR ending a
// line is dropped, so that a file saved with CR LF reads as written. Stops when `each`
// returns false.
template <class Each> bool ForEachLine(std::string_view text, Each&& each) {
    std::size_t start = 0;
    for (std::size_t number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!each(number, line))
            return false;
        start = end + 1;
    }
    return true;
}

std::string At(std::size_t line) {
    return "line " + std::to_string(line) + ": ";
}

// The first pair (by index) whose OLD an earlier pair gave already, as the run splits a
// path ("a/" and "a" are one), with that earlier pair's index. The table holds each
// pair's index beside a part of its hash, so that a million pairs cost no allocation
// each and few string comparisons; the hashes are worked out first, so that the slot of
// a later one is fetched from memory while an earlier one is placed.
std::optional<std::pair<std::size_t, std::size_t>>
FirstRepeated(const std::vector<MapPair>& pairs) {
    auto key = [&pairs](std::size_t k) {
        return pairs[k].Old.substr(0, pairs[k].Old.size() -
                                          SplitGivenPath(pairs[k].Old).Trailing.size());
    };
    std::vector<std::uint64_t> hashes(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k)
        hashes[k] = std::hash<std::string_view>{}(key(k));
    unsigned bits = 4;
    while ((std::size_t{1} << bits) < 2 * pairs.size())
        ++bits;
    const std::size_t mask = (std::size_t{1} << bits) - 1;
    auto home = [bits](std::uint64_t hash) {
        return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> (64 - bits));
    };
    // High half: the hash's high half; low half: the pair's index + 1 (a map of four
    // thousand million pairs would not fit in memory as pairs); 0: empty.
    std::vector<std::uint64_t> table(mask + 1, 0);
    constexpr std::size_t kAhead = 16;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (k + kAhead < pairs.size())
            __builtin_prefetch(&table[home(hashes[k + kAhead])]);
        const std::uint64_t high = hashes[k] & 0xFFFFFFFF00000000ULL;
        std::size_t at = home(hashes[k]);
        for (; table[at] != 0; at = (at + 1) & mask) {
            const std::size_t earlier = static_cast<std::size_t>(table[at] & 0xFFFFFFFFULL) - 1;
            if ((table[at] & 0xFFFFFFFF00000000ULL) == high && key(earlier) == key(k))
                return std::pair(k, earlier);
        }
        table[at] = high | (k + 1);
    }
    return std::nullopt;
}

} // namespace

std::string EditText(const std::vector<std::string>& names) {
    const std::size_t width = std::to_string(names.size()).size();
    std::string text =
        "# One line per file: its number, a tab, its new name. Change the names only: a\n"
        "# line deleted, joined or given another number renames nothing. Lines beginning\n"
        "# with '#' are skipped. Save and quit to see what would be renamed.\n";
    std::size_t size = text.size();
    for (const std::string& name : names)
        size += width + 2 + name.size();
    text.reserve(size);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string number = std::to_string(k + 1);
        text.append(width - number.size(), '0');
        text += number;
        text += '\t';
        text += names[k];
        text += '\n';
    }
    return text;
}

std::optional<std::vector<std::string_view>> ReadEditText(std::string_view text, std::size_t count,
                                                          std::string& problem) {
    std::vector<std::string_view> names(count);
    // The line that gave each number, 0 while none has.
    std::vector<std::size_t> lineOf(count, 0);
    const bool read = ForEachLine(text, [&](std::size_t line, std::string_view content) {
        if (content.empty() || content.front() == '#')
            return true;
        std::size_t digits = 0;
        std::size_t number = 0;
        // More digits than any count has would overflow; such a number is no file's.
        while (digits < content.size() && content[digits] >= '0' && content[digits] <= '9') {
            if (number <= count)
                number = number * 10 + static_cast<std::size_t>(content[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits == content.size() || content[digits] != '\t') {
            problem = At(line) + "no number and tab before the name (each line begins with its "
                                 "file's number)";
            return false;
        }
        if (number == 0 || number > count) {
            problem = At(line) + "there is no file number " +
                      std::string(content.substr(0, digits)) + " (1 to " + std::to_string(count) +
                      ")";
            return false;
        }
        if (lineOf[number - 1] != 0) {
            problem = At(line) + "file number " + std::to_string(number) +
                      " is given twice (also on line " + std::to_string(lineOf[number - 1]) + ")";
            return false;
        }
        const std::string_view name = content.substr(digits + 1);
        if (name.empty()) {
            problem = At(line) + "the new name of file " + std::to_string(number) + " is empty";
            return false;
        }
        if (name.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
            problem = At(line) + "the new name of file " + std::to_string(number) +
                      " holds a line break or NUL byte, which a line cannot carry";
            return false;
        }
        lineOf[number - 1] = line;
        names[number - 1] = name;
        return true;
    });
    if (!read)
        return std::nullopt;
    for (std::size_t k = 0; k < count; ++k)
        if (lineOf[k] == 0) {
            problem = "file number " + std::to_string(k + 1) +
                      " has no line (deleted, or joined with another)";
            return std::nullopt;
        }
    return names;
}

std::optional<std::vector<MapPair>> ReadRenameMap(std::string_view text, bool nullSeparated,
                                                  std::string& problem) {
    std::vector<MapPair> pairs;
    if (!nullSeparated) {
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
            const std::size_t line =
                1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + nul, '\n'));
            problem = At(line) + "a NUL byte (use -0 for a NUL-separated map)";
            return std::nullopt;
        }
        pairs.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    } else {
        pairs.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\0')) / 2 + 1);
    }
    // `line` counts lines, or pairs when NUL-separated; the message is made only for a fault.
    auto add = [&](std::size_t line, std::string_view old, std::string_view now) {
        if (old.empty() || now.empty()) {
            problem = (nullSeparated ? "pair " : "line ") + std::to_string(line) + ": " +
                      (old.empty() ? "the old path is empty" : "the new name is empty");
            return false;
        }
        pairs.push_back({old, now});
        return true;
    };
    // The pairs up to the first malformed one are checked for an OLD given twice, which,
    // coming first, is the fault told.
    auto repeated = [&] {
        const std::optional<std::pair<std::size_t, std::size_t>> twice = FirstRepeated(pairs);
        if (!twice)
            return false;
        // The number of the line (or pair) of pairs[k], counted only now.
        auto numberOf = [&](std::size_t k) {
            if (nullSeparated)
                return k + 1;
            const std::string_view before =
                text.substr(0, static_cast<std::size_t>(pairs[k].Old.data() - text.data()));
            return 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
        };
        const char* unit = nullSeparated ? "pair " : "line ";
        problem = unit + std::to_string(numberOf(twice->first)) + ": '" +
                  std::string(pairs[twice->first].Old) + "' is given already (" + unit +
                  std::to_string(numberOf(twice->second)) + ")";
        return true;
    };
    if (nullSeparated) {
        std::size_t start = 0;
        for (std::size_t pair = 1; start < text.size(); ++pair) {
            const std::size_t oldEnd = text.find('\0', start);
            if (oldEnd == std::string_view::npos) {
                if (!repeated())
                    problem = "pair " + std::to_string(pair) + ": '" +
                              std::string(text.substr(start)) + "' has no new name";
                return std::nullopt;
            }
            std::size_t newEnd = text.find('\0', oldEnd + 1);
            if (newEnd == std::string_view::npos)
                newEnd = text.size();
            if (!add(pair, text.substr(start, oldEnd - start),
                     text.substr(oldEnd + 1, newEnd - oldEnd - 1))) {
                repeated();
                return std::nullopt;
            }
            start = newEnd + 1;
        }
        if (repeated())
            return std::nullopt;
        return pairs;
    }
    const bool read = ForEachLine(text, [&](std::size_t line, std::string_view content) {
        if (content.empty())
            return true;
        const std::size_t tab = content.find('\t');
        if (tab == std::string_view::npos) {
            problem = At(line) + "no tab between the old path and the new name";
            return false;
        }
        return add(line, content.substr(0, tab), content.substr(tab + 1));
    });
    if (repeated() || !read)
        return std::nullopt;
    return pairs;
}

} // namespace qm::cli
