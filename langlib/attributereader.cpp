#include "langlib/attributereader.h"

#include "langlib/utf8text.h"

namespace vocalith {

TAttributeReader::TAttributeReader(std::string_view attributes)
    : attributes_(attributes), upper_(AsciiUpper(attributes)) {}

bool TAttributeReader::Read(std::string_view upperName, std::string_view& value) {
    value = {};
    std::string marker(upperName);
    marker += "=\"";
    const std::size_t found = upper_.find(marker, start_);
    if (found == std::string::npos) {
        return false;
    }
    start_ = found + marker.size();
    const std::size_t end = attributes_.find('"', start_);
    if (end != std::string_view::npos) {
        value = attributes_.substr(start_, end - start_);
    }
    return true;
}

std::string_view TAttributeReader::Value(std::string_view upperName) {
    std::string_view value;
    Read(upperName, value);
    return value;
}

} // namespace vocalith
