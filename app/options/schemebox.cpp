#include "app/options/schemebox.h"

#include "settings/optionschemas.h"

#include <QCollator>
#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>

namespace qm {

void TSchemeBox::Fill() {
    QStringList names;
    names.reserve(schemas_.Count());
    for (int i = 0; i < schemas_.Count(); ++i) {
        names.push_back(QString::fromStdString(schemas_.Names(i)));
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
    const QSignalBlocker blocker(&box_);
    box_.clear();
    box_.addItems(names);
    box_.setCurrentIndex(-1);
}

void TSchemeBox::Select(const std::string& name) {
    const int index =
        name.empty() ? -1 : box_.findText(QString::fromStdString(name), Qt::MatchFixedString);
    SelectIndex(index);
}

void TSchemeBox::ClearSelection() {
    SelectIndex(-1);
}

std::string TSchemeBox::Selected() const {
    const int index = box_.currentIndex();
    return index < 0 ? std::string() : box_.itemText(index).toStdString();
}

int TSchemeBox::SelectedIndex() const {
    return box_.currentIndex();
}

void TSchemeBox::SelectIndex(int index) {
    const QSignalBlocker blocker(&box_);
    box_.setCurrentIndex(index);
}

} // namespace qm
