#include "language/placeholders.h"

#include <vector>

namespace qm {

std::string FillPlaceholders(std::string_view text,
                             std::initializer_list<std::string_view> values) {
    std::vector<bool> filled(values.size(), false);
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto slot = static_cast<std::size_t>(text[i + 1] - '1');
            if (slot < values.size() && !filled[slot]) {
                filled[slot] = true;
                result += *(values.begin() + slot);
                ++i;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

} // namespace qm
