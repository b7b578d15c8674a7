#pragma once

// "History of renames": the journaled runs, newest first, above the renames of the run
// selected, and "Undo this run", which takes any run back as `quillmark-cli undo --run`
// does, with the same refusals. Non-modal; the main window owns it and shows it again
// each time it is asked for.
//
// The list is read when the window opens and after each undo, the renames of a run when
// it is selected; both on threads of their own, so that a million renames or a thousand
// journals never hold the window up. A reading that has been overtaken (another run was
// selected meanwhile) is dropped when it arrives. The window waits for its readers when
// it is destroyed.
//
// The settings, the version information and the language clients are not owned: they
// must outlive the window. Window thread only.

#include "app/widgets/dialogtexts.h"
#include "rename/journalhistory.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QThread;

namespace qm {

class TMovesModel;
class TRunsModel;
class TSettings;
class TVersionInfo;

class THistoryWindow : public QWidget {
    Q_OBJECT
public:
    THistoryWindow(TSettings& settings, const TVersionInfo& versionInfo, const TDynLang& common,
                   const TDynLang& program, QWidget* parent);
    ~THistoryWindow() override;

    // Shows the window (at its stored size when it was hidden) and reads the list anew.
    void Open();
    // Reads the list anew while the window is shown (a run was made or undone elsewhere),
    // keeping the run selected.
    void Refresh();
    // Takes the texts of the language chosen now.
    void LoadTexts();

    // The runs listed, and the one selected (-1 when none).
    const std::vector<THistoryRun>& Runs() const;
    int SelectedRow() const;
    void SelectRow(int row);
    // Takes the selected run back, after asking; nothing when it cannot be taken back.
    void UndoSelected();

signals:
    // The list has been read and shown.
    void runsShown();
    // The renames of the selected run are shown, or why they cannot be.
    void movesShown();
    // The run `runId` was taken back (or partly) from its journal.
    void runUndone(const std::string& runId);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Build();
    // Reads the list on a thread; `keep` is selected again once it is shown.
    void ReadRuns(const std::string& keep);
    void ShowRuns(std::vector<THistoryRun> runs, const std::string& keep);
    void RunSelected();
    void ShowMoves(std::uint64_t reading, TJournalRead read);
    void UpdateUndo();
    void SaveLayout();
    // Runs `work` on a thread of its own and `done` with its result on the window's.
    template <class T> void InBackground(std::function<T()> work, std::function<void(T)> done);

    TSettings& settings_;
    const TVersionInfo& versionInfo_;
    TDialogTexts texts_;
    const TDynLang& program_;
    std::string folder_;
    TRunsModel* runsModel_;
    TMovesModel* movesModel_;
    QLabel* runsInfo_;
    QTableView* runsView_;
    QLabel* movesInfo_;
    QTableView* movesView_;
    QLabel* movesNote_;
    QLabel* refusal_;
    QPushButton* undo_;
    QPushButton* close_;
    // Which readings of the list and of a run's renames are the ones to show.
    std::uint64_t runsReading_ = 0;
    std::uint64_t movesReading_ = 0;
    bool busy_ = false;
    std::vector<QThread*> readers_;
};

} // namespace qm
