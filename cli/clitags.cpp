#include "cli/clitags.h"

#include "filetags/tagpool.h"

#include <cstdio>
#include <filesystem>

namespace qm::cli {

std::optional<std::string> UnknownTagProblem(const RenameOptionSet& o) {
    if (!o.InsertGroup || !o.InsertTags)
        return std::nullopt;
    const std::pair<bool, const std::string*> texts[] = {
        {o.InsertFront, &o.InsertFrontText},
        {o.InsertAtPosition, &o.InsertAtPositionText},
        {o.InsertBack, &o.InsertBackText}};
    for (const auto& [enabled, text] : texts) {
        if (!enabled)
            continue;
        const TagExpansion expanded = ExpandTags(*text, TagValues{}, EnglishMonthNames());
        if (expanded.Unknown)
            return "the insert text '" + *text +
                   "' holds a tag that is not known: " + expanded.UnknownTag;
    }
    return std::nullopt;
}

std::string TagPathOf(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += name;
    std::error_code error;
    // Lexically only: "../x.jpg" gets the folder's real name, and a link keeps its own
    // place as the file manager shows it.
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        return path;
    return full.lexically_normal().string();
}

std::vector<std::shared_ptr<const TEntryTags>>
ReadTagsFor(const RenameOptionSet& options, const std::vector<std::string>& readPaths) {
    const unsigned sources = TagSourcesNeeded(options);
    if (sources == 0)
        return {};
    const std::atomic<bool> never{false};
    return ReadTagsOfPaths(readPaths, sources, 0, never);
}

void TellMissingTag(const char* command, std::string_view path, const NewName& computed) {
    if (!computed.TagMissing)
        return;
    std::fprintf(stderr, "quillmark-cli %s: %.*s: no value for the tag <%s>\n", command,
                 static_cast<int>(path.size()), path.data(), computed.MissingTag.c_str());
}

} // namespace qm::cli
