#pragma once

// Option sets made from the field table, for tests that must cover every field without
// naming one: a field added to the table is in them at once.

#include "engine/newname.h"
#include "engine/optionfields.h"

#include <string>
#include <string_view>

namespace qm::test {

// `options` with `field` off its default: a flag flipped, a number one up (inside the
// range of every control that shows one), a text that is the field's name.
inline void ChangeField(RenameOptionSet& options, const OptionField& field) {
    if (auto flag = std::get_if<OptionFlag>(&field.member))
        options.*(*flag) = !(options.*(*flag));
    else if (auto number = std::get_if<OptionInt>(&field.member))
        options.*(*number) = field.intDefault + 1;
    else
        options.*std::get<OptionText>(field.member) = std::string(field.name);
}

// Every field of the table off its default.
inline RenameOptionSet EveryFieldChanged() {
    RenameOptionSet options;
    for (const OptionField& field : OptionFields())
        ChangeField(options, field);
    return options;
}

// The names of the fields of the table in which `a` and `b` differ, separated by spaces.
inline std::string DifferingFields(const RenameOptionSet& a, const RenameOptionSet& b) {
    std::string names;
    for (const OptionField& field : OptionFields()) {
        const bool same =
            std::visit([&](auto member) { return a.*member == b.*member; }, field.member);
        if (!same)
            names += (names.empty() ? "" : " ") + std::string(field.name);
    }
    return names;
}

// A tab's group switch: a flag whose name ends in "Group".
inline bool IsGroupSwitch(const OptionField& field) {
    return std::holds_alternative<OptionFlag>(field.member) && field.name.ends_with("Group");
}

// The defaults with every group switch on, every text that is empty by default filled in
// and one find/replace pair: each option flag turned on alone then does its work.
inline RenameOptionSet GroupsOn() {
    RenameOptionSet options;
    for (const OptionField& field : OptionFields()) {
        if (IsGroupSwitch(field))
            options.*std::get<OptionFlag>(field.member) = true;
        else if (auto text = std::get_if<OptionText>(&field.member);
                 text && (options.*(*text)).empty())
            options.*(*text) = "x";
    }
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"b", "y"};
    return options;
}

// Whether `options` give another name than `before` for a name that holds what the
// options act on: blanks at both ends, double spaces, "%20", "_", ".", " - ", digits and
// letters of both cases.
inline bool ChangesAName(const RenameOptionSet& before, const RenameOptionSet& options) {
    static constexpr std::string_view kName = "  Ab%20c_d.e  f - 12\t.txt";
    return ComputeNewName(before, std::string(kName), 7) !=
           ComputeNewName(options, std::string(kName), 7);
}

} // namespace qm::test
