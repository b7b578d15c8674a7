#pragma once

// Letter case of UTF-8 text for the settings store: names of keys and values compare
// without regard to case, and a few loaded values are tested in upper case.
//
// Pure functions, safe on any thread.

#include <string>
#include <string_view>

namespace qm {

// Every code point mapped by Unicode simple upper-casing; bytes that are not valid
// UTF-8 pass through unchanged, so distinct inputs that differ only there stay distinct.
std::string UpperUtf8(std::string_view text);

} // namespace qm
