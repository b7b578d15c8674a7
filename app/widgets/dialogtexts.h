#pragma once

// The two language clients a dialog reads its texts from when it is shown, so that a
// dialog always speaks the language chosen last. A dialog without clients keeps its
// built-in English texts (tests build dialogs alone).
//
// The clients are not owned; they must outlive the dialog. Window thread only.

#include <QString>
#include <string>

namespace qm {

class TDynLang;

class TDialogTexts {
public:
    void Use(const TDynLang& common, const TDynLang& program) {
        common_ = &common;
        program_ = &program;
    }
    bool Ready() const { return common_ != nullptr && program_ != nullptr; }

    // The three forms of a text of the program package, then of the common package; line
    // breaks as the screen shows them.
    QString Text(const std::string& key) const;
    QString Line(const std::string& key) const;
    QString Keyed(const std::string& key) const;
    QString CommonText(const std::string& key) const;
    QString CommonLine(const std::string& key) const;
    QString CommonKeyed(const std::string& key) const;

private:
    const TDynLang* common_ = nullptr;
    const TDynLang* program_ = nullptr;
};

} // namespace qm
