#include "filelist/iconnames.h"

namespace qm {
namespace {

// Theme icon names never hold a newline, so it separates the two halves of the key.
std::string KeyOf(const IconName& icon) {
    return icon.Name + '\n' + icon.Fallback;
}

} // namespace

TIconNames::TIconNames() {
    IndexOf({"application-octet-stream", "application-x-generic"});
}

TIconNames& TIconNames::Program() {
    static TIconNames names;
    return names;
}

int TIconNames::IndexOf(const IconName& icon) {
    std::string key = KeyOf(icon);
    std::lock_guard lock(mutex_);
    auto found = indexByKey_.find(key);
    if (found != indexByKey_.end())
        return found->second;
    int index = static_cast<int>(icons_.size());
    icons_.push_back(icon);
    indexByKey_.emplace(std::move(key), index);
    return index;
}

int TIconNames::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(icons_.size());
}

IconName TIconNames::At(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(icons_.size()))
        return {};
    return icons_[static_cast<std::size_t>(index)];
}

} // namespace qm
