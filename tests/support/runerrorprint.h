#pragma once

// A run's error as the tests write it down and as GoogleTest prints it: an errno value as
// its number, a fault by its kind (and the code point it names); and an entry's outcome
// by its name. (Here, in every test source that compares them, or one program would
// print them in two ways.)

#include "rename/runerror.h"
#include "rename/runrules.h"

#include <iterator>
#include <ostream>
#include <string>

namespace qm {

inline std::string ErrorCode(RunError error) {
    static const char* const kinds[] = {"",        "PatternInvalid", "PatternLimit",
                                        "NameTooLong",  "NameCharacter",  "NameEnd",
                                        "FolderPart",   "FolderIsFile",   "CompanionFailed"};
    static_assert(std::size(kinds) == static_cast<std::size_t>(RunFault::CompanionFailed) + 1);
    if (error.Fault() == RunFault::None)
        return std::to_string(error.Errno());
    std::string code = kinds[static_cast<int>(error.Fault())];
    if (error.Character() != 0)
        code += "+" + std::to_string(static_cast<unsigned>(error.Character()));
    return code;
}

inline void PrintTo(RunError error, std::ostream* out) {
    *out << ErrorCode(error);
}

inline void PrintTo(RenameOutcome outcome, std::ostream* out) {
    *out << (outcome == RenameOutcome::Renamed     ? "Renamed"
             : outcome == RenameOutcome::Unchanged ? "Unchanged"
                                                   : "Failed");
}

} // namespace qm
