#pragma once

// The file list's delegate with the editor of a new name typed by hand (the model makes
// only the new-name cell editable). Enter keeps the typed name, unless it is the name the
// cell showed (then the row stays as it was) or empty (then the editor stays open and says
// why in a tool tip); Escape closes the editor and gives the row back to the options;
// leaving the editor otherwise keeps a changed, non-empty name.
//
// The texts come from a source set by the window; window thread only.

#include "app/list/filelistdelegate.h"
#include "app/list/predictionmarks.h"

namespace qm {

class TNameEditDelegate : public TFileListDelegate {
    Q_OBJECT
public:
    using TFileListDelegate::TFileListDelegate;

    void SetTexts(MarkTextSource texts) { texts_ = std::move(texts); }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    MarkTextSource texts_;
};

} // namespace qm
