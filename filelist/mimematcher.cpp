#include "filelist/mimematcher.h"

#include <QMimeDatabase>
#include <algorithm>
#include <fnmatch.h>
#include <locale.h>
#include <string_view>

namespace qm {
namespace {

bool HasWildcard(const QString& text) {
    return text.contains(u'*') || text.contains(u'?') || text.contains(u'[');
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Anything fnmatch may read as more than itself ends a pattern's literal start or end.
constexpr std::string_view kSpecial = "*?[]\\";

std::string LiteralPrefix(std::string_view pattern) {
    return std::string(
        pattern.substr(0, std::min(pattern.find_first_of(kSpecial), pattern.size())));
}

std::string LiteralSuffix(std::string_view pattern) {
    const std::size_t last = pattern.find_last_of(kSpecial);
    return std::string(last == std::string_view::npos ? pattern : pattern.substr(last + 1));
}

// fnmatch in a multibyte locale turns pattern and name into wide characters on every
// call; in the "C" locale it compares bytes, which for ASCII texts gives the same answer.
locale_t ByteLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

} // namespace

TMimeMatcher::TMimeMatcher(const QMimeDatabase& db) : db_(db) {}

int TMimeMatcher::IdOf(const QString& pattern) {
    auto found = idByPattern_.constFind(pattern);
    if (found != idByPattern_.constEnd())
        return *found;
    const int id = static_cast<int>(patterns_.size());
    patterns_.push_back(pattern);
    idByPattern_.insert(pattern, id);
    return id;
}

void TMimeMatcher::BuildIndex() {
    built_ = true;
    for (const QMimeType& type : db_.allMimeTypes()) {
        for (const QString& pattern : type.globPatterns()) {
            if (idByPattern_.contains(pattern))
                continue;
            const int id = IdOf(pattern);
            if (pattern.startsWith(u"*.") && !HasWildcard(pattern.mid(2)))
                suffixes_[pattern.mid(2).toLower()].append(id);
            else if (!HasWildcard(pattern))
                literals_[pattern.toLower()].append(id);
            else {
                const std::string lower = pattern.toLower().toStdString();
                asciiGlobs_ = asciiGlobs_ && IsAscii(lower) && IsAscii(pattern.toStdString());
                globs_.push_back(
                    {lower, pattern.toStdString(), LiteralPrefix(lower), LiteralSuffix(lower), id});
            }
        }
    }
}

void TMimeMatcher::AddMatches(const QList<int>& ids, const QString& name, bool suffix,
                              std::vector<int>& matches) const {
    for (int id : ids) {
        const QString& pattern = patterns_[static_cast<std::size_t>(id)];
        // Whether the letter case matches too: it tells case-sensitive patterns apart.
        const bool exact = suffix ? name.endsWith(QStringView(pattern).mid(1)) : name == pattern;
        matches.push_back(id * 2 + (exact ? 1 : 0));
    }
}

QMimeType TMimeMatcher::ForFileName(const QString& name) {
    if (!built_)
        BuildIndex();
    const QString lower = name.toLower();
    std::vector<int> matches;
    if (auto literal = literals_.constFind(lower); literal != literals_.constEnd())
        AddMatches(*literal, name, false, matches);
    for (qsizetype dot = lower.indexOf(u'.'); dot >= 0; dot = lower.indexOf(u'.', dot + 1)) {
        if (auto suffix = suffixes_.constFind(lower.mid(dot + 1)); suffix != suffixes_.constEnd())
            AddMatches(*suffix, name, true, matches);
    }
    if (!globs_.empty()) {
        const std::string lowerUtf8 = lower.toStdString();
        const std::string exactUtf8 = name.toStdString();
        const std::string_view lowerView = lowerUtf8;
        const locale_t bytes =
            asciiGlobs_ && IsAscii(lowerUtf8) && IsAscii(exactUtf8) ? ByteLocale() : nullptr;
        const locale_t previous = bytes != nullptr ? uselocale(bytes) : nullptr;
        for (const Glob& glob : globs_) {
            if (!lowerView.starts_with(glob.Prefix) || !lowerView.ends_with(glob.Suffix))
                continue;
            if (fnmatch(glob.Lower.c_str(), lowerUtf8.c_str(), 0) == 0) {
                const bool exact = fnmatch(glob.Exact.c_str(), exactUtf8.c_str(), 0) == 0;
                matches.push_back(glob.Id * 2 + (exact ? 1 : 0));
            }
        }
        if (previous != nullptr)
            uselocale(previous);
    }
    std::sort(matches.begin(), matches.end());
    QByteArray key;
    key.reserve(static_cast<qsizetype>(matches.size() * 6));
    for (int match : matches) {
        key.append(QByteArray::number(match));
        key.append(',');
    }
    auto known = byMatches_.constFind(key);
    if (known != byMatches_.constEnd())
        return *known;
    QMimeType type = db_.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    byMatches_.insert(key, type);
    return type;
}

} // namespace qm
