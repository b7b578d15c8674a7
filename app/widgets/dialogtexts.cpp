#include "app/widgets/dialogtexts.h"

#include "app/widgets/qttext.h"
#include "language/dynlang.h"

namespace qm {

QString TDialogTexts::Text(const std::string& key) const {
    return ScreenText(program_->GetText(key));
}

QString TDialogTexts::Line(const std::string& key) const {
    return ScreenText(program_->GetLine(key));
}

QString TDialogTexts::Keyed(const std::string& key) const {
    return ScreenText(program_->GetKeyedLine(key));
}

QString TDialogTexts::CommonText(const std::string& key) const {
    return ScreenText(common_->GetText(key));
}

QString TDialogTexts::CommonLine(const std::string& key) const {
    return ScreenText(common_->GetLine(key));
}

QString TDialogTexts::CommonKeyed(const std::string& key) const {
    return ScreenText(common_->GetKeyedLine(key));
}

} // namespace qm
