#pragma once

// Why the run failed an entry, or one of its moves: the errno value of a system call, or
// a fault the program finds itself before it asks the system anything (a name the
// options cannot compute, one the drive would refuse). The two never mix: an errno value
// of any size stays an errno value, and a new kind of fault is a new RunFault, with the
// character it names where it names one. Plain data, copied freely between threads.

#include <cstdint>

namespace qm {

enum class RunFault : std::uint8_t {
    None,           // no fault of the program's own: Errno() tells (0: no error at all)
    PatternInvalid, // a find text of the options does not compile as a pattern
    PatternLimit,   // a pattern went beyond its match or depth limit on this name
    NameTooLong,    // the drive takes no name this long
    NameCharacter,  // the drive refuses a character the name holds (Character())
    NameEnd,        // the drive refuses the character the name ends in (Character())
    FolderPart,     // making folders: a part of the new name is "." or "..", or it is absolute
    FolderIsFile,   // making folders: a folder the new name names is a file
    CompanionFailed, // a file renamed with its companions stays, as one of them could not move
};

class RunError {
public:
    constexpr RunError() = default;
    // The errno value of a system call, 0 for none. Not explicit, so that a system call's
    // answer passes on as it is.
    constexpr RunError(int errnoValue) : value_(errnoValue) {}

    // A fault of the program's own; `character` only for NameCharacter and NameEnd.
    static constexpr RunError Of(RunFault fault, char32_t character = 0) {
        RunError error;
        error.fault_ = fault;
        error.value_ = NamesCharacter(fault) ? static_cast<std::int32_t>(character) : 0;
        return error;
    }

    constexpr RunFault Fault() const { return fault_; }
    // The errno value; 0 for a fault of the program's own.
    constexpr int Errno() const { return fault_ == RunFault::None ? value_ : 0; }
    // The character a NameCharacter or NameEnd fault names; 0 for any other error.
    constexpr char32_t Character() const {
        return NamesCharacter(fault_) ? static_cast<char32_t>(value_) : 0;
    }
    // Whether the name was refused by the drive's rules (NameTooLong, NameCharacter,
    // NameEnd), before any rename was asked for.
    constexpr bool DriveRefused() const {
        return fault_ == RunFault::NameTooLong || NamesCharacter(fault_);
    }

    constexpr explicit operator bool() const { return fault_ != RunFault::None || value_ != 0; }
    friend constexpr bool operator==(const RunError&, const RunError&) = default;

private:
    static constexpr bool NamesCharacter(RunFault fault) {
        return fault == RunFault::NameCharacter || fault == RunFault::NameEnd;
    }

    RunFault fault_ = RunFault::None;
    std::int32_t value_ = 0;
};

} // namespace qm
