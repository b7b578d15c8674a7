#pragma once

// The menu of a "Tags" button beside an insert text field: every tag an inserted text can
// hold, grouped by where its value comes from (the file, a photo's data, a music file's
// tags), each shown with its description, and first a few ready-made tags that users often
// want. Choosing an item announces its tag text; the menu itself changes no field.

#include "app/options/renamesummary.h"

#include <QMenu>

namespace qm {

class TTagMenu : public QMenu {
    Q_OBJECT
public:
    explicit TTagMenu(QWidget* parent = nullptr);

    // Captions and descriptions in the interface language; to be called again whenever it
    // changes. An item whose description the language lacks shows its tag alone.
    void SetTexts(const TextLookup& text);

    // The item that inserts `tag` (as written, "<track:2>"), or nullptr.
    QAction* ItemOf(const QString& tag) const;

signals:
    void tagChosen(const QString& tag);
};

} // namespace qm
