#pragma once

// Named option schemes: an ordered list of (name, text) pairs, where the text is an
// option set in the scheme line format (key=value lines joined by a single CR).
//
// TOptionSchemas owns its entries. Names compare exactly, letter case included.
// Not thread-safe: used on the window thread only.

#include "engine/renameoptionset.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm {

struct SchemeEntry {
    std::string Name;
    std::string Text;
};

class TOptionSchemas {
public:
    TOptionSchemas() = default; // Create: an empty list

    int Count() const { return static_cast<int>(entries_.size()); }
    // The name of the scheme at `index`; empty for an index out of range.
    std::string Names(int index) const;
    // The scheme at `index`, by reference; valid until the list changes. `index`
    // must be in range.
    SchemeEntry& Items(int index);
    const SchemeEntry& Items(int index) const;
    // Appends `entry` and returns its index.
    int Add(SchemeEntry entry);
    // Index of the first scheme named exactly `name`, or -1.
    int IndexOf(const std::string& name) const;
    // Stores `options` under `name`: an existing scheme keeps its place, a new one goes
    // to the end. An empty name stores nothing.
    void SaveOptions(const std::string& name, const RenameOptionSet& options);
    // Reads the scheme `name` into `options` (ReadSchemeText); unknown names leave
    // `options` unchanged. True when the scheme was found and its text applied.
    bool LoadOptions(const std::string& name, RenameOptionSet& options) const;
    // Removes the first scheme named `name`, if any.
    void Delete(const std::string& name);
    void Clear() { entries_.clear(); }

private:
    std::vector<std::unique_ptr<SchemeEntry>> entries_;
};

// The scheme text of `options`: "Version=1" first, lines joined by a single CR.
std::string WriteSchemeText(const RenameOptionSet& options);

// What ReadSchemeText made of a text.
struct SchemeRead {
    enum class Verdict {
        Applied,      // a "Version=1" line came, and the lines after it were applied
        NoVersion,    // no "Version" line at all (an empty text, or another kind of file)
        OtherVersion, // only versions other than 1, which are not read
        NulInValue,   // a value to apply holds a NUL byte: the text was refused whole
    };
    Verdict Result = Verdict::Applied;
    std::int32_t Version = 0; // OtherVersion: the last version named
    std::string Key;          // NulInValue: the key of that value, as the text spells it

    bool Applied() const { return Result == Verdict::Applied; }
};

// Applies a scheme text to `options` (ReplaceCount goes to 0 first, then every
// recognisable line after a "Version=1" line is applied). Lines must be joined by
// single CRs; see NormalizeLineEnds for text from other sources.
// A text in which a line after "Version=1" has a value holding a NUL byte is refused and
// leaves `options` as they were: the system would read a file name made from it only up
// to that byte, so the names shown and the names given would part.
SchemeRead ReadSchemeText(const std::string& text, RenameOptionSet& options);

// Turns CR LF and lone LF line ends into single CRs (for scheme files edited by hand).
std::string NormalizeLineEnds(const std::string& text);

} // namespace qm
