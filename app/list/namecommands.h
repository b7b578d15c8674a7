#pragma once

// The window's commands for names typed by hand: "Edit new name" (F2, and the list's menu)
// opens the editor in the row's new-name cell, "Use the options' name" gives the selected
// rows back to the options, "Forget names typed by hand" all rows, and "Edit new names as
// text..." the names of the selected rows (of every row when fewer than two are selected)
// in TNameTextDialog. It also shows the list's context menu and keeps these actions'
// enabled states.
//
// Does not own the view, the model, the list, the actions or the window: the window creates
// it once they exist and destroys it before them. Window thread only.

#include "app/list/predictionmarks.h"

#include <QObject>
#include <vector>

class QAction;
class QMenu;
class QPoint;
class QTreeView;
class QWidget;

namespace qm {

class TDynLang;
class TFileItems;
class TFileListModel;

struct NameActions {
    QAction* EditNewName;
    QAction* UseOptionsName;
    QAction* EditNamesAsText;
    QAction* ForgetHandNames;
    QMenu* ListMenu; // the list's context menu, holding the actions of the list
};

class TNameCommands : public QObject {
    Q_OBJECT
public:
    TNameCommands(QTreeView& view, TFileListModel& model, TFileItems& items,
                  const NameActions& actions, MarkTextSource texts, QWidget& window);

    void UseLanguage(const TDynLang& common, const TDynLang& program);
    void UpdateActionStates();
    // While a run works the entries are its worker's: nothing is named meanwhile.
    void SetRunning(bool running);

    // The rows "Edit new names as text..." shows, in list order.
    std::vector<int> TextRows() const;

private:
    void EditNewName();
    void UseOptionsName();
    void ForgetHandNames();
    void EditNamesAsText();
    void ShowListMenu(const QPoint& at);
    std::vector<int> SelectedRows() const;
    int NewNameColumn() const;

    QTreeView& view_;
    TFileListModel& model_;
    TFileItems& items_;
    NameActions actions_;
    MarkTextSource texts_;
    QWidget& window_;
    const TDynLang* common_ = nullptr;
    const TDynLang* program_ = nullptr;
};

} // namespace qm
