// Any bytes as a rename map (by lines, or NUL-separated) or as an edit file read back,
// the first byte picking which and, for an edit file, how many files it was written
// for. Checked: every pair read has two non-empty sides lying in the text, a side holds
// no separator and an OLD read by lines no tab, no two OLDs name one path; an edit
// file read gives one non-empty name per file, none holding CR, LF or NUL, and the file
// written for those names reads back as the same names.

#include "cli/givenpath.h"
#include "cli/handnames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckMap(const std::string& text, bool nullSeparated) {
    std::string problem;
    const auto pairs = qm::cli::ReadRenameMap(text, nullSeparated, problem);
    if (!pairs) {
        Check(!problem.empty());
        return;
    }
    std::set<std::string_view> olds;
    for (const qm::cli::MapPair& pair : *pairs) {
        Check(!pair.Old.empty() && !pair.New.empty());
        Check(pair.Old.data() >= text.data() &&
              pair.New.data() + pair.New.size() <= text.data() + text.size());
        const std::string_view lineBreak = nullSeparated ? std::string_view("\0", 1) : "\n";
        Check(pair.Old.find(lineBreak) == std::string_view::npos &&
              pair.New.find(lineBreak) == std::string_view::npos);
        if (!nullSeparated)
            Check(pair.Old.find('\t') == std::string_view::npos);
        const qm::cli::GivenPath split = qm::cli::SplitGivenPath(pair.Old);
        Check(olds.insert(pair.Old.substr(0, pair.Old.size() - split.Trailing.size())).second);
    }
}

void CheckEdit(const std::string& text, std::size_t count) {
    std::string problem;
    const auto names = qm::cli::ReadEditText(text, count, problem);
    if (!names) {
        Check(!problem.empty());
        return;
    }
    Check(names->size() == count);
    std::vector<std::string> copied;
    for (const std::string_view name : *names) {
        Check(!name.empty() && name.find_first_of(std::string_view("\r\n\0", 3)) ==
                                   std::string_view::npos);
        copied.emplace_back(name);
    }
    const std::string written = qm::cli::EditText(copied);
    const auto again = qm::cli::ReadEditText(written, count, problem);
    Check(again && std::equal(again->begin(), again->end(), names->begin(), names->end()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        CheckMap(text, false);
        break;
    case 1:
        CheckMap(text, true);
        break;
    default:
        CheckEdit(text, data[0] / 3 % 16);
        break;
    }
    return 0;
}
