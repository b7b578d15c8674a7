#include "engine/organize.h"

#include <memory>
#include <mutex>

namespace qm {
namespace {

std::mutex formLock;
std::string& FormHeld() {
    static std::string form(kDefaultTakenNameForm);
    return form;
}

// Where the extension of `name`'s last part begins (name.size() when it has none): its
// last ".", unless that is the part's first byte.
std::size_t ExtensionAt(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot <= start ? name.size() : dot;
}

} // namespace

void SetTakenNameForm(std::string form) {
    const bool whole = form.find("%1") != std::string::npos && form.find("%2") != std::string::npos;
    const std::lock_guard lock(formLock);
    FormHeld() = whole ? std::move(form) : std::string(kDefaultTakenNameForm);
}

std::string TakenNameForm() {
    const std::lock_guard lock(formLock);
    return FormHeld();
}

std::string NumberedName(std::string_view base, std::string_view tail, int n,
                         std::string_view form) {
    std::string out;
    out.reserve(base.size() + tail.size() + form.size() + 8);
    const std::string number = std::to_string(n);
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form[i] == '%' && i + 1 < form.size() && (form[i + 1] == '1' || form[i + 1] == '2')) {
            out += form[i + 1] == '1' ? base : std::string_view(number);
            ++i;
        } else {
            out += form[i];
        }
    }
    out += tail;
    return out;
}

std::string NumberedName(std::string_view name, int n, std::string_view form) {
    const std::size_t at = ExtensionAt(name);
    return NumberedName(name.substr(0, at), name.substr(at), n, form);
}

} // namespace qm
