#pragma once

// Reads the attribute values of one tag of a language file.
//
// An attribute is found by its marker, the name directly followed by `="`, matched
// without regard to ASCII letter case; its value runs to the next double quote (empty when
// none follows). Each search starts where the previously found value began, so the
// attributes of an element must be read in the element's fixed order, and one written
// before an attribute read earlier is not found.
//
// The reader does not own the tag text: it must outlive the reader and every value it
// hands out.

#include <string>
#include <string_view>

namespace vocalith {

class TAttributeReader {
public:
    explicit TAttributeReader(std::string_view attributes);

    // The value of the attribute `upperName` (given in upper case), or empty. Returns
    // false, and leaves the search position alone, when the marker is not there.
    bool Read(std::string_view upperName, std::string_view& value);
    // The value of `upperName`, or empty when it is missing.
    std::string_view Value(std::string_view upperName);

private:
    std::string_view attributes_;
    std::string upper_; // attributes_ upper-cased; ASCII rules keep byte offsets equal
    std::size_t start_ = 0;
};

} // namespace vocalith
