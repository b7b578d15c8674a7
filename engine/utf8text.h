#pragma once

// UTF-8 <-> code points without loss.
//
// File names on Linux are bytes. Decoding turns every byte that is not part of a valid
// UTF-8 sequence into one code point U+DC80..U+DCFF (a lone surrogate, which valid
// UTF-8 can never produce), and encoding turns those back into the original byte, so
// Encode(Decode(x)) == x for every byte string x.

#include <string>
#include <string_view>

namespace qm {

std::u32string DecodeUtf8(std::string_view bytes);
std::string EncodeUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t codePoint);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, <= U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

} // namespace qm
