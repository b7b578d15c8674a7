#include "engine/organize.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace qm {
namespace {

std::mutex formLock;
std::string& FormHeld() {
    static std::string form(kDefaultTakenNameForm);
    return form;
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
    const std::size_t at = EndingAt(name, 1);
    return NumberedName(name.substr(0, at), name.substr(at), n, form);
}

std::size_t EndingAt(std::string_view name, int dots) {
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t at = name.size();
    for (std::size_t i = name.size(); dots > 0 && i > start + 1;) {
        --i;
        if (name[i] == '.') {
            at = i;
            --dots;
        }
    }
    return at;
}

int DotsIn(std::string_view ending) {
    return static_cast<int>(std::count(ending.begin(), ending.end(), '.'));
}

TCompanions FindCompanions(const std::vector<TCompanionEntry>& entries) {
    const std::size_t count = entries.size();
    TCompanions out;
    out.Head.assign(count, -1);
    // Per folder, its names: the first entry of each. Entries of one folder mostly come
    // together, so the last folder's table is kept at hand.
    using Names = std::unordered_map<std::string_view, int>;
    std::unordered_map<std::string_view, Names> folders;
    std::string_view lastFolder;
    Names* names = nullptr;
    auto namesOf = [&](std::string_view folder) -> Names& {
        if (names == nullptr || folder != lastFolder) {
            names = &folders[folder];
            lastFolder = folder;
        }
        return *names;
    };
    std::vector<char> first(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const TCompanionEntry& e = entries[i];
        if (!e.Alone && !e.Name.empty())
            first[i] = namesOf(e.Folder).try_emplace(e.Name, static_cast<int>(i)).second;
    }
    // The shared name of each: its name without its extension, and without the one
    // before while that is a listed name too.
    auto stem = [](std::string_view name) { return name.substr(0, EndingAt(name, 1)); };
    std::unordered_map<std::string_view, std::unordered_map<std::string_view, int>> groups;
    std::vector<int> last(count, -1); // per head: its last member so far
    std::vector<int> size(count, 0);
    out.Next.assign(count, -1);
    out.Shared.assign(count, 0);
    std::string_view groupFolder;
    std::unordered_map<std::string_view, int>* groupsHere = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (!first[i])
            continue;
        const TCompanionEntry& e = entries[i];
        const Names& here = namesOf(e.Folder);
        std::string_view shared = stem(e.Name);
        while (shared != stem(shared) && here.contains(shared))
            shared = stem(shared);
        if (groupsHere == nullptr || e.Folder != groupFolder) {
            groupsHere = &groups[e.Folder];
            groupFolder = e.Folder;
        }
        const int head = groupsHere->try_emplace(shared, static_cast<int>(i)).first->second;
        out.Shared[i] = static_cast<std::uint32_t>(shared.size());
        out.Head[i] = head;
        const auto h = static_cast<std::size_t>(head);
        if (last[h] >= 0)
            out.Next[static_cast<std::size_t>(last[h])] = static_cast<int>(i);
        last[h] = static_cast<int>(i);
        ++size[h];
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int head = out.Head[i];
        if (head < 0)
            continue;
        if (size[static_cast<std::size_t>(head)] < 2) {
            out.Head[i] = -1;
            out.Next[i] = -1;
        } else {
            out.Any = true;
        }
    }
    return out;
}

} // namespace qm
