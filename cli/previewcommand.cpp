#include "cli/previewcommand.h"

#include "cli/clitags.h"
#include "cli/givenpath.h"
#include "engine/newname.h"
#include "engine/runningnumber.h"
#include "rename/namerules.h"
#include "rename/runrules.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace qm::cli {

const char* PatternErrorText(RunError error) {
    switch (error.Fault()) {
    case RunFault::PatternLimit:
        return "a regular expression went beyond its match limits on this name";
    case RunFault::PatternInvalid:
        return "a find text cannot be used as a pattern";
    case RunFault::FolderPart:
        return "the folder part of the new name is \".\" or \"..\", or it begins with \"/\"";
    case RunFault::FolderIsFile:
        return "a folder the new name names is a file";
    case RunFault::CompanionFailed:
        return "not renamed, as a file renamed with it (same name, other extension) could not be";
    // An errno value (strerror tells it) or a drive's refusal (NameRuleErrorText). Every
    // kind is listed, so that the compiler asks for the words of a new one.
    case RunFault::None:
    case RunFault::NameTooLong:
    case RunFault::NameCharacter:
    case RunFault::NameEnd:
        return nullptr;
    }
    return nullptr;
}

std::vector<std::shared_ptr<const TEntryTags>>
ReadGivenTags(const RenameOptionSet& options, const std::vector<std::string>& names) {
    if (TagSourcesNeeded(options) == 0)
        return {};
    std::vector<std::string> readPaths;
    readPaths.reserve(names.size());
    for (const std::string& path : names) {
        const GivenPath split = SplitGivenPath(path);
        readPaths.push_back(TagPathOf(split.Folder, split.Name));
    }
    return ReadTagsFor(options, readPaths);
}

namespace {

// The rules of the drive that holds each folder named, learnt once per folder.
class FolderRules {
public:
    NameRules Of(const std::string& folder) {
        const auto known = byFolder_.find(folder);
        if (known != byFolder_.end())
            return known->second;
        TFileCalls& calls = TFileCalls::System();
        NameRules rules = NameRules::Posix;
        int dir = -1;
        if (calls.OpenFolder(folder.empty() ? "." : folder.c_str(), dir) == 0) {
            rules = devices_.Of(calls, dir);
            calls.CloseFolder(dir);
        }
        return byFolder_.emplace(folder, rules).first->second;
    }

private:
    TDeviceRules devices_;
    std::unordered_map<std::string, NameRules> byFolder_;
};

} // namespace

bool WritePreview(const RenameOptionSet& options, std::int32_t start,
                  const std::vector<std::string>& names, const GivenTags& tags, bool tellFaults) {
    std::string out;
    FolderRules rules;
    std::vector<TCompanionEntry> listed;
    listed.reserve(names.size());
    for (const std::string& path : names) {
        const GivenPath split = SplitGivenPath(path);
        listed.push_back({split.Folder, split.Name, false});
    }
    const std::vector<std::int64_t> positions =
        NumberPositions(listed, options.NumberPerFolder, options.RenameCompanions);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& path = names[k];
        // The path as the run renames it: "adir/" is the folder adir, which becomes bdir.
        const GivenPath split = SplitGivenPath(path);
        out.assign(path);
        out += '\t';
        out.append(split.Folder);
        const NewName computed = ComputeNewNameChecked(
            options, split.Name, NumberAtPosition(start, positions[k]),
            k < tags.size() && tags[k] ? NameTags{&tags[k]->Values, nullptr} : NameTags{});
        out += computed.Name;
        if (tellFaults && computed.Fault != NameFault::None)
            std::fprintf(stderr, "quillmark-cli preview: %s: %s\n", path.c_str(),
                         PatternErrorText(PatternError(computed.Fault)));
        if (tellFaults && computed.Fault == NameFault::None && computed.Name != split.Name) {
            // The preview runs nothing; a name the drive would refuse is still worth a word.
            const RunError refused =
                NameRuleError(rules.Of(std::string(split.Folder)), computed.Name);
            if (refused)
                std::fprintf(stderr, "quillmark-cli preview: %s: %s\n", path.c_str(),
                             NameRuleErrorText(refused).c_str());
        }
        if (tellFaults)
            TellMissingTag("preview", path, computed);
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
    if (auto problem = UnknownTagProblem(options)) {
        std::fprintf(stderr, "quillmark-cli preview: %s\n", problem->c_str());
        return 2;
    }
    // A million names do not fit on a command line; they come in a list. The names are
    // copied only when the list or the order needs it.
    std::vector<std::string> copied;
    const std::vector<std::string>* names = &args.names;
    if (args.filesFrom) {
        std::string problem;
        const std::optional<std::string> listed =
            ReadPathList(*args.filesFrom, args.nullSeparated, problem);
        if (!listed) {
            std::fprintf(stderr, "quillmark-cli preview: %s\n", problem.c_str());
            return 2;
        }
        const char separator = args.nullSeparated ? '\0' : '\n';
        copied.reserve(
            args.names.size() +
            static_cast<std::size_t>(std::count(listed->begin(), listed->end(), separator)) + 1);
        copied = args.names;
        ForEachListed(*listed, separator,
                      [&copied](std::string_view name) { copied.emplace_back(name); });
        names = &copied;
    }
    if (args.order != PathOrder::Given) {
        if (names != &copied)
            copied = args.names;
        SortPaths(copied, args.order);
        names = &copied;
    }
    if (!WritePreview(options, args.start.value_or(options.NumberIncValue), *names,
                      ReadGivenTags(options, *names), /*tellFaults=*/true)) {
        std::fprintf(stderr, "quillmark-cli preview: cannot write the names: %s\n",
                     std::strerror(errno));
        return 2;
    }
    return 0;
}

} // namespace qm::cli
