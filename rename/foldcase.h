#pragma once

// Names as a folder that ignores letter case compares them: each code point folded by
// the simple Unicode case folding; bytes that are not UTF-8 stay as they are.

#include <string>
#include <string_view>

namespace qm {

std::u32string FoldCase(std::string_view name);

} // namespace qm
