#include "rename/planplaces.h"

#include "engine/utf8text.h"

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

} // namespace

struct TPlanPlaces::Folders {
    struct Folder {
        bool caseless = false;
        std::unordered_set<std::string> keys;
    };

    explicit Folders(TFileCalls& c) : calls(c) {}

    // The folder's number, or the negated errno value.
    int Find(const std::string& path) {
        const auto known = byPath.find(path);
        if (known != byPath.end())
            return known->second;
        const int found = Read(path);
        byPath.emplace(path, found);
        return found;
    }

    int Read(const std::string& path) {
        int dir = AT_FDCWD;
        if (!path.empty())
            if (const int error = calls.OpenFolder(path.c_str(), dir))
                return -error;
        struct stat st {};
        int error = calls.LStat(dir, ".", st);
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
        Folder folder;
        // A folder that ignores letter case finds a name under another case that it does
        // not list; the first name with letters tells.
        std::unordered_set<std::string> exact(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string turned = CaseTurned(name);
            if (turned.empty())
                continue;
            struct stat st {};
            folder.caseless = exact.count(turned) == 0 && calls.LStat(dir, turned.c_str(), st) == 0;
            break;
        }
        if (folder.caseless)
            for (const std::string& name : names)
                folder.keys.insert(Folded(name));
        else
            folder.keys = std::move(exact);
        list.push_back(std::move(folder));
        return static_cast<int>(list.size() - 1);
    }

    std::string Key(int number, const std::string& name) const {
        return list[static_cast<std::size_t>(number)].caseless ? Folded(name) : name;
    }

    TFileCalls& calls;
    std::vector<Folder> list;
    std::unordered_map<std::string, int> byPath;
    std::map<std::pair<dev_t, ino_t>, int> byIdentity;
    unsigned serial = 0;
};

TPlanPlaces::TPlanPlaces(TFileCalls& calls) : folders_(std::make_unique<Folders>(calls)) {}

TPlanPlaces::~TPlanPlaces() = default;

int TPlanPlaces::Locate(const std::string& folder, const std::string& name, Place& place,
                        bool& present) {
    const int number = folders_->Find(folder);
    if (number < 0)
        return -number;
    place = {number, folders_->Key(number, name)};
    present = Present(place);
    return 0;
}

int TPlanPlaces::Target(const std::string& folder, const std::string& candidate, Place& place) {
    if (candidate.empty())
        return ENOENT;
    if (candidate.front() == '/' || LeavesTheFolder(candidate))
        return EINVAL;
    const std::size_t slash = candidate.rfind('/');
    const std::string leaf = slash == std::string::npos ? candidate : candidate.substr(slash + 1);
    if (leaf.empty())
        return ENOENT;
    if (leaf.size() > NAME_MAX)
        return ENAMETOOLONG;
    const int number = folders_->Find(
        slash == std::string::npos ? folder : folder + candidate.substr(0, slash + 1));
    if (number < 0)
        return -number;
    place = {number, folders_->Key(number, leaf)};
    return 0;
}

bool TPlanPlaces::Present(const Place& place) const {
    return folders_->list[static_cast<std::size_t>(place.folder)].keys.count(place.key) != 0;
}

std::string TPlanPlaces::FreeName(int folder, const std::unordered_set<Place, PlaceHash>& taken) {
    for (;;) {
        char name[40];
        std::snprintf(name, sizeof name, ".qm-plan-%x-%x", static_cast<unsigned>(getpid()),
                      folders_->serial++);
        const Place place{folder, folders_->Key(folder, name)};
        if (!Present(place) && taken.count(place) == 0)
            return name;
    }
}

} // namespace qm
