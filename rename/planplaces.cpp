#include "rename/planplaces.h"

#include "engine/utf8text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <unicode/uchar.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {
namespace {

std::string Folded(const std::string& name) {
    std::u32string text = DecodeUtf8(name);
    for (char32_t& c : text)
        c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
    return EncodeUtf8(text);
}

// The name with the letter case of its letters turned round; "" when it has none.
std::string CaseTurned(const std::string& name) {
    std::u32string text = DecodeUtf8(name);
    bool turned = false;
    for (char32_t& c : text) {
        const auto code = static_cast<UChar32>(c);
        const UChar32 other = u_isupper(code) ? u_tolower(code) : u_toupper(code);
        turned = turned || other != code;
        c = static_cast<char32_t>(other);
    }
    return turned ? EncodeUtf8(text) : std::string();
}

bool LeavesTheFolder(const std::string& to) {
    std::size_t start = 0;
    while (start <= to.size()) {
        std::size_t end = to.find('/', start);
        if (end == std::string::npos)
            end = to.size();
        if (to.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// A name in a folder: the folder's number, then the name as the folder compares it.
std::string PlaceKey(int folder, const std::string& name) {
    std::string key(reinterpret_cast<const char*>(&folder), sizeof folder);
    key += name;
    return key;
}

} // namespace

struct TPlanPlaces::Folders {
    explicit Folders(TFileCalls& c) : calls(c) {}

    // The folder's number, or the negated errno value.
    int Find(const std::string& path) {
        if (lastPath && *lastPath == path)
            return lastNumber;
        auto [it, added] = byPath.try_emplace(path, 0);
        if (added)
            it->second = Read(path);
        lastPath = &it->first;
        lastNumber = it->second;
        return lastNumber;
    }

    int Read(const std::string& path) {
        int dir = AT_FDCWD;
        if (!path.empty())
            if (const int error = calls.OpenFolder(path.c_str(), dir))
                return -error;
        struct stat st {};
        const int error = calls.LStat(dir, ".", st);
        int number = -error;
        if (error == 0) {
            const auto identity = std::make_pair(st.st_dev, st.st_ino);
            const auto known = byIdentity.find(identity);
            if (known != byIdentity.end()) {
                number = known->second;
            } else {
                number = Load(dir);
                byIdentity.emplace(identity, number);
            }
        }
        if (dir != AT_FDCWD)
            calls.CloseFolder(dir);
        return number;
    }

    int Load(int dir) {
        std::vector<std::string> names;
        const int error = calls.ListFolder(
            dir,
            [](void* context, const char* name) {
                static_cast<std::vector<std::string>*>(context)->emplace_back(name);
            },
            &names);
        if (error != 0)
            return -error;
        // A folder that ignores letter case finds a name under another case that it does
        // not list; the first name with letters tells.
        bool ignoresCase = false;
        for (const std::string& name : names) {
            const std::string turned = CaseTurned(name);
            if (turned.empty())
                continue;
            struct stat st {};
            ignoresCase = calls.LStat(dir, turned.c_str(), st) == 0 &&
                          std::find(names.begin(), names.end(), turned) == names.end();
            break;
        }
        const int number = static_cast<int>(caseless.size());
        caseless.push_back(ignoresCase);
        places.reserve(places.size() + names.size());
        for (const std::string& name : names)
            present[static_cast<std::size_t>(Intern(number, name))] = 1;
        return number;
    }

    int Intern(int folder, const std::string& name) {
        const auto [it, added] = places.try_emplace(
            PlaceKey(folder, caseless[static_cast<std::size_t>(folder)] ? Folded(name) : name),
            static_cast<int>(folderOf.size()));
        if (added) {
            folderOf.push_back(folder);
            present.push_back(0);
        }
        return it->second;
    }

    TFileCalls& calls;
    std::unordered_map<std::string, int> byPath;
    const std::string* lastPath = nullptr; // node keys of an unordered_map stay put
    int lastNumber = 0;
    std::map<std::pair<dev_t, ino_t>, int> byIdentity;
    std::vector<bool> caseless; // per folder
    std::unordered_map<std::string, int> places;
    std::vector<int> folderOf; // per place
    std::vector<char> present; // per place
    unsigned serial = 0;
};

TPlanPlaces::TPlanPlaces(TFileCalls& calls) : folders_(std::make_unique<Folders>(calls)) {}

TPlanPlaces::~TPlanPlaces() = default;

int TPlanPlaces::Locate(const std::string& folder, const std::string& name, int& place) {
    const int number = folders_->Find(folder);
    if (number < 0)
        return -number;
    place = folders_->Intern(number, name);
    return 0;
}

int TPlanPlaces::Target(const std::string& folder, const std::string& candidate, int& place) {
    if (candidate.empty())
        return ENOENT;
    if (candidate.front() == '/' || LeavesTheFolder(candidate))
        return EINVAL;
    const std::size_t slash = candidate.rfind('/');
    if (slash == std::string::npos) {
        if (candidate.size() > NAME_MAX)
            return ENAMETOOLONG;
        return Locate(folder, candidate, place);
    }
    const std::string leaf = candidate.substr(slash + 1);
    if (leaf.empty())
        return ENOENT;
    if (leaf.size() > NAME_MAX)
        return ENAMETOOLONG;
    return Locate(folder + candidate.substr(0, slash + 1), leaf, place);
}

bool TPlanPlaces::Present(int place) const {
    return folders_->present[static_cast<std::size_t>(place)] != 0;
}

int TPlanPlaces::PlaceCount() const {
    return static_cast<int>(folders_->folderOf.size());
}

std::string TPlanPlaces::FreeName(int place) {
    const int folder = folders_->folderOf[static_cast<std::size_t>(place)];
    for (;;) {
        char name[40];
        std::snprintf(name, sizeof name, ".qm-plan-%x-%x", static_cast<unsigned>(getpid()),
                      folders_->serial++);
        const int count = PlaceCount();
        if (folders_->Intern(folder, name) == count)
            return name; // a place not met before
    }
}

} // namespace qm
