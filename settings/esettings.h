#pragma once

// The error of the settings store: raised by a store operation used while the store is
// not open (which happens only when opening it failed).

#include <stdexcept>

namespace qm {

class ESettings : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace qm
