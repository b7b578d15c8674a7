#pragma once

// Tags on the command line: the check of a scheme's tags before anything is read or
// moved, the reading of the files given (on several threads, only when the scheme's
// texts hold tags) and the note for a file that lacks a tag.

#include "engine/newname.h"
#include "filelist/entrytags.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

// "the insert text '<tken>_' holds a tag that is not known: <tken>" for the first enabled
// insert text (front, at a position, back) holding a tag that is not understood, with
// InsertTags on; nullopt otherwise.
std::optional<std::string> UnknownTagProblem(const RenameOptionSet& options);

// The path to read the tags of the entry named `name` in `folder` (as SplitGivenPath
// splits a path given) from: absolute, so that a file in the current folder has a
// folder tag too.
std::string TagPathOf(std::string_view folder, std::string_view name);

// The tags of every path of `readPaths` (TagPathOf), read on one thread per processor (at
// most 8) when the options need any; empty otherwise.
std::vector<std::shared_ptr<const TEntryTags>>
ReadTagsFor(const RenameOptionSet& options, const std::vector<std::string>& readPaths);

// The line on stderr for a file whose new name lacks a tag's value:
// "quillmark-cli COMMAND: PATH: no value for the tag <taken>". Nothing when none lacks.
void TellMissingTag(const char* command, std::string_view path, const NewName& computed);

} // namespace qm::cli
