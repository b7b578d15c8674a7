#pragma once

// The conversions between the cores' UTF-8 std::string and the windows' QString.
// Bytes that are not UTF-8 become U+FFFD on the way in, as QString::fromStdString does;
// the windows only show such text, they never hand it back to a core as a name.

#include <QString>
#include <string>

namespace qm {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string S(const QString& s) {
    return s.toStdString();
}

// A language text as a widget shows it: each LF CR pair the language files give for a
// line break becomes one line break.
inline QString ScreenText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    return shown;
}

} // namespace qm
