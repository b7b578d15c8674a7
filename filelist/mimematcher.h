#pragma once

// The MIME type of a file name, as QMimeDatabase::mimeTypeForFile(name, MatchExtension)
// gives it, but fast for many names.
//
// Qt decides by the glob patterns a name matches (their weights and lengths, which are
// fixed per pattern). So two names that match the same patterns, each with the same
// letter-case outcome, get the same type: the matcher works out that set of patterns
// with hash lookups for the many "*.ext" and literal patterns and fnmatch for the few
// complex ones (only where the name has their literal start and end), asks Qt once per
// distinct set, and remembers the answer.
//
// The pattern index is built on first use. Not thread-safe: one owner, one thread at a
// time. Borrows `db`, which must outlive the matcher.

#include <QHash>
#include <QList>
#include <QMimeType>
#include <QString>
#include <string>
#include <vector>

class QMimeDatabase;

namespace qm {

class TMimeMatcher {
public:
    explicit TMimeMatcher(const QMimeDatabase& db);

    QMimeType ForFileName(const QString& name);

private:
    struct Glob {
        std::string Lower; // lower-cased pattern, for the case-blind test
        std::string Exact; // the pattern as written
        // The literal text Lower starts and ends with (before the first and after the
        // last wildcard): a name without them cannot match.
        std::string Prefix;
        std::string Suffix;
        int Id = 0;
    };

    void BuildIndex();
    int IdOf(const QString& pattern);
    // Appends id * 2 + 1 for each pattern of `ids` that `name` matches in letter case too,
    // id * 2 for the others (`suffix`: the ids are "*.ext" patterns, else literals).
    void AddMatches(const QList<int>& ids, const QString& name, bool suffix,
                    std::vector<int>& matches) const;

    const QMimeDatabase& db_;
    bool built_ = false;
    std::vector<QString> patterns_;       // by id
    QHash<QString, int> idByPattern_;     //
    QHash<QString, QList<int>> suffixes_; // lower-cased text after "*." -> ids
    QHash<QString, QList<int>> literals_; // lower-cased literal name -> ids
    std::vector<Glob> globs_;             // everything else
    bool asciiGlobs_ = true;              // every one of globs_ is ASCII
    QHash<QByteArray, QMimeType> byMatches_;
};

} // namespace qm
