#pragma once

// A table of the scalar fields of RenameOptionSet, in declaration order, so that code
// that writes or reads every field (the scheme text, the settings store) walks one list
// instead of repeating sixty lines. The replace pairs are not in the table.

#include "engine/renameoptionset.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qm {

using OptionFlag = bool RenameOptionSet::*;
using OptionInt = std::int32_t RenameOptionSet::*;
using OptionText = std::string RenameOptionSet::*;

struct OptionField {
    std::string_view name; // the field name, which is also the store's value name
    std::variant<OptionFlag, OptionInt, OptionText> member;
    std::int32_t intDefault; // the default of an integer field (unused otherwise)
};

// Every scalar field in declaration order. `ReplaceCount` is not listed (it belongs to
// the pairs). The pairs come right after `ReplaceEnabled`.
std::span<const OptionField> OptionFields();

} // namespace qm
