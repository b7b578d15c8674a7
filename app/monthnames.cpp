#include "app/monthnames.h"

#include <QString>
#include <QStringList>

namespace qm {

namespace {

void ReadNames(const std::string& text, std::array<std::string, 12>& names) {
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    if (parts.size() != static_cast<qsizetype>(names.size())) {
        return;
    }
    std::array<std::string, 12> read;
    for (std::size_t i = 0; i < read.size(); ++i) {
        read[i] = parts[static_cast<qsizetype>(i)].trimmed().toStdString();
        if (read[i].empty()) {
            return;
        }
    }
    names = read;
}

} // namespace

std::shared_ptr<const MonthNames> LanguageMonthNames(const TextLookup& text) {
    auto names = std::make_shared<MonthNames>(EnglishMonthNames());
    ReadNames(text("MONTHNAMESSHORT"), names->Short);
    ReadNames(text("MONTHNAMES"), names->Long);
    return names;
}

} // namespace qm
