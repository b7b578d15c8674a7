#pragma once

// The option schemes that the renamer keeps in the user's settings store, as the
// command-line companion reads them. Reading never changes the store.

#include <optional>
#include <string>

namespace qm::cli {

// `quillmark-cli schemes [--debug]`: prints the stored scheme names, one a line, in
// store order, from the development settings when `development` is set. Returns the
// exit code (0, or 2 after one line on stderr).
int RunSchemes(bool development);

// The text of the stored scheme named exactly `name` (letter case included), from the
// development settings when `development` is set; nothing when there is no such scheme.
std::optional<std::string> StoredSchemeText(const std::string& name, bool development);

} // namespace qm::cli
