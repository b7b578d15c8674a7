// Any bytes as a --files-from list, read from a file as the rename reads it, with and
// without -0 (the first byte picks). Checked: a line list holding a NUL is refused; the
// names read are the non-empty pieces between separators, in order, none holding the
// separator; and each splits into folder, name and trailing slashes that give it back.

#include "cli/givenpath.h"
#include "cli/schemesource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const std::string& ListPath() {
    static const std::string path = [] {
        char name[] = "/tmp/fileslist-fuzz-XXXXXX";
        Check(mkdtemp(name) != nullptr);
        return std::string(name) + "/list";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool nullSeparated = data[0] & 1;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const int fd = open(ListPath().c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    Check(fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    close(fd);

    std::string error;
    const auto listed =
        qm::cli::ReadWholeFile(ListPath(), std::numeric_limits<std::size_t>::max(), error);
    Check(listed && *listed == bytes);
    if (!nullSeparated && listed->find('\0') != std::string::npos)
        return 0; // the rename refuses such a list

    const char separator = nullSeparated ? '\0' : '\n';
    std::size_t at = 0; // where the next name may begin
    qm::cli::ForEachListed(*listed, separator, [&](std::string_view name) {
        Check(!name.empty() && name.find(separator) == std::string_view::npos);
        // Only separators lie between one name and the next.
        const std::size_t found = listed->find(name, at);
        Check(found != std::string::npos && listed->find_first_not_of(separator, at) == found);
        at = found + name.size();
        Check(at == listed->size() || (*listed)[at] == separator);

        const qm::cli::GivenPath split = qm::cli::SplitGivenPath(name);
        Check(std::string(split.Folder) + std::string(split.Name) + std::string(split.Trailing) ==
              name);
        Check(split.Name.find('/') == std::string_view::npos);
        Check(split.Folder.empty() || split.Folder.ends_with('/'));
        Check(split.Trailing.find_first_not_of('/') == std::string_view::npos);
        // Only "/" itself (and its repeats) names no name.
        Check(!split.Name.empty() || name.find_first_not_of('/') == std::string_view::npos);
    });
    Check(listed->find_first_not_of(separator, at) == std::string::npos);
    return 0;
}
