// The fast name matcher must give exactly the type Qt gives for every name.

#include "filelist/mimematcher.h"

#include <QMimeDatabase>
#include <gtest/gtest.h>

namespace qm {
namespace {

// Names that a glob pattern matches, and near misses: the pattern with its wildcards
// filled in, in its own letter case, upper and lower case, with a stem or a tail added.
QStringList NamesFor(const QString& pattern) {
    QString filled;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'*') {
            filled += QStringLiteral("x1");
        } else if (c == u'?') {
            filled += u'q';
        } else if (c == u'[') {
            const qsizetype close = pattern.indexOf(u']', i + 1);
            filled += close > i + 1 ? pattern[i + 1] : u'z';
            i = close < 0 ? pattern.size() : close;
        } else {
            filled += c;
        }
    }
    return {filled,
            filled.toUpper(),
            filled.toLower(),
            QStringLiteral("Stem.") + filled,
            filled + QStringLiteral(".bak"),
            filled + QStringLiteral("~"),
            QStringLiteral("a") + filled};
}

TEST(MimeMatcher, AgreesWithQtForEveryPattern) {
    QMimeDatabase db;
    TMimeMatcher matcher(db);
    QStringList names = {u"noext"_qs, u"README"_qs, u"readme.txt"_qs, u"Makefile"_qs,
                         u"makefile"_qs, u"x.tar.gz"_qs, u"X.TAR.GZ"_qs, u"lib.so.1"_qs, u"a.C"_qs,
                         u"a.c"_qs, u".bashrc"_qs, u"ÄRGER.PNG"_qs, u"a.b.c.d"_qs, u"core"_qs,
                         u"..."_qs, u"trailing."_qs, u"001.vdr"_qs, u"x.anim3"_qs, u"file,v"_qs,
                         u"Été.JPG"_qs,
                         // Texts that are not ASCII, or only once lower-cased (the
                         // Kelvin sign), against the patterns with wildcards.
                         u"Été.1"_qs, u"é.so.2"_qs, u"ÉTÉ~"_qs, u"README\u212A"_qs,
                         u"\u212Aore.so.3"_qs, u"é.anim[1-9j]"_qs};
    for (const QMimeType& type : db.allMimeTypes())
        for (const QString& pattern : type.globPatterns())
            names += NamesFor(pattern);
    int checked = 0;
    // Twice over: the second round answers from what the first one remembered.
    for (int round = 0; round < 2; ++round) {
        for (const QString& name : names) {
            const QString expected = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name();
            ASSERT_EQ(matcher.ForFileName(name).name().toStdString(), expected.toStdString())
                << name.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 5000);
}

} // namespace
} // namespace qm
