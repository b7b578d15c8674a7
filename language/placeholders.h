#pragma once

// Filling the placeholders "%1".."%9" of a language text with the values the program
// puts in (a count, a file name, a typed text).

#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

// `text` with the first "%1" replaced by the first value, the first "%2" by the second,
// and so on, in one pass from left to right: a value is copied as it is, so a "%2" that a
// value holds stays. Later occurrences of a placeholder and placeholders without a value
// stay as written.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values);

} // namespace qm
