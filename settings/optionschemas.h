#pragma once

// Named option schemes: an ordered list of (name, text) pairs, where the text is an
// option set in the scheme line format (key=value lines joined by a single CR).
//
// TOptionSchemas owns its entries. Names compare exactly, letter case included.
// Not thread-safe: used on the window thread only.

#include "engine/renameoptionset.h"

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
    // Reads the scheme `name` into `options`; unknown names leave `options` unchanged.
    void LoadOptions(const std::string& name, RenameOptionSet& options) const;
    // Removes the first scheme named `name`, if any.
    void Delete(const std::string& name);
    void Clear() { entries_.clear(); }

private:
    std::vector<std::unique_ptr<SchemeEntry>> entries_;
};

// The scheme text of `options`: "Version=1" first, lines joined by a single CR.
std::string WriteSchemeText(const RenameOptionSet& options);

// Applies a scheme text to `options` (ReplaceCount goes to 0 first, then every
// recognisable line after a "Version=1" line is applied). Lines must be joined by
// single CRs; see NormalizeLineEnds for text from other sources.
void ReadSchemeText(const std::string& text, RenameOptionSet& options);

// Turns CR LF and lone LF line ends into single CRs (for scheme files edited by hand).
std::string NormalizeLineEnds(const std::string& text);

} // namespace qm
