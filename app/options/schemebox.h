#pragma once

// The scheme box of the main window: a drop-down list that offers the names of the saved
// schemes, sorted, and shows which scheme the option controls came from until the next
// change. Works on a combo box and the schemes it is given; owns neither.

#include <QString>
#include <string>

class QComboBox;

namespace qm {

class TOptionSchemas;

class TSchemeBox {
public:
    TSchemeBox(QComboBox& box, TOptionSchemas& schemas) : box_(box), schemas_(schemas) {}

    // Refills the box with every scheme name, sorted by the user's collation without
    // regard to letter case; no selection afterwards.
    void Fill();
    // Selects the first item equal to `name` without regard to letter case; no selection
    // when there is none (or `name` is empty).
    void Select(const std::string& name);
    void ClearSelection();
    // The selected scheme's name; empty when none is selected.
    std::string Selected() const;
    int SelectedIndex() const;
    void SelectIndex(int index);

private:
    QComboBox& box_;
    TOptionSchemas& schemas_;
};

} // namespace qm
