#include "app/history/historywindow.h"

#include "app/history/historymoves.h"
#include "app/history/historyruns.h"
#include "app/run/journalmessages.h"
#include "app/run/renamecommands.h"
#include "app/widgets/qttext.h"
#include "language/dynlang.h"
#include "language/placeholders.h"
#include "rename/journal.h"
#include "rename/journalundo.h"
#include "settings/settings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <sstream>

namespace qm {

namespace {

constexpr int DefaultWidth = 860;
constexpr int DefaultHeight = 560;

QTableView* Table(QWidget* parent, const char* name) {
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setShowGrid(false);
    view->setAlternatingRowColors(true);
    view->setTabKeyNavigation(false);
    // Rows of one height, never measured: a run of a million renames is a million rows.
    QHeaderView* rows = view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 6);
    rows->hide();
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

// Each column's width followed by ",", as the main window stores its list's.
std::string WidthsText(const QTableView& view) {
    std::string text;
    for (int column = 0; column < view.model()->columnCount(); ++column)
        text += std::to_string(view.columnWidth(column)) + ",";
    return text;
}

void ApplyWidths(QTableView& view, const std::string& text, const std::vector<int>& defaults) {
    std::istringstream widths(text);
    std::string width;
    for (int column = 0; column < view.model()->columnCount(); ++column) {
        int value = 0;
        if (std::getline(widths, width, ',')) {
            try {
                value = std::stoi(width);
            } catch (const std::exception&) {
                value = 0;
            }
        }
        // Unstored, a column is at least as wide as its caption in the language shown
        // (the header alone is measured, never the rows).
        if (value <= 0 || value > 10000)
            value = std::max(static_cast<std::size_t>(column) < defaults.size()
                                 ? defaults[static_cast<std::size_t>(column)]
                                 : 100,
                             view.horizontalHeader()->sectionSizeHint(column));
        view.setColumnWidth(column, value);
    }
}

} // namespace

THistoryWindow::THistoryWindow(TSettings& settings, const TVersionInfo& versionInfo,
                               const TDynLang& common, const TDynLang& program, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(settings), versionInfo_(versionInfo),
      program_(program), folder_(JournalFolder()) {
    setObjectName(QStringLiteral("HistoryWindow"));
    texts_.Use(common, program);
    Build();
    LoadTexts();
}

THistoryWindow::~THistoryWindow() {
    // A reading cannot be stopped; it is short (a few kilobytes a journal, or one journal).
    for (QThread* reader : readers_) {
        reader->wait();
        delete reader;
    }
}

void THistoryWindow::Build() {
    const HistoryLine line = [this](const std::string& key) {
        return texts_.Line(key);
    };
    runsModel_ = new TRunsModel(line, this);
    movesModel_ = new TMovesModel(line, this);

    auto* column = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("HistorySplit"));
    split->setChildrenCollapsible(false);

    auto* top = new QWidget(split);
    auto* topColumn = new QVBoxLayout(top);
    topColumn->setContentsMargins(0, 0, 0, 0);
    runsInfo_ = new QLabel(top);
    runsInfo_->setObjectName(QStringLiteral("HistoryRunsInfo"));
    runsView_ = Table(top, "HistoryRuns");
    runsView_->setModel(runsModel_);
    runsInfo_->setBuddy(runsView_);
    topColumn->addWidget(runsInfo_);
    topColumn->addWidget(runsView_);

    auto* bottom = new QWidget(split);
    auto* bottomColumn = new QVBoxLayout(bottom);
    bottomColumn->setContentsMargins(0, 0, 0, 0);
    movesInfo_ = new QLabel(bottom);
    movesInfo_->setObjectName(QStringLiteral("HistoryMovesInfo"));
    movesView_ = Table(bottom, "HistoryMoves");
    movesView_->setModel(movesModel_);
    movesInfo_->setBuddy(movesView_);
    // In the list's place while it is read, or when the journal cannot be read.
    movesNote_ = new QLabel(bottom);
    movesNote_->setObjectName(QStringLiteral("HistoryMovesNote"));
    movesNote_->setWordWrap(true);
    movesNote_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    movesNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    movesNote_->hide();
    bottomColumn->addWidget(movesInfo_);
    bottomColumn->addWidget(movesView_, 1);
    bottomColumn->addWidget(movesNote_, 1);
    split->addWidget(top);
    split->addWidget(bottom);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    column->addWidget(split, 1);

    auto* buttons = new QHBoxLayout();
    refusal_ = new QLabel(this);
    refusal_->setObjectName(QStringLiteral("HistoryRefusal"));
    refusal_->setWordWrap(true);
    undo_ = new QPushButton(this);
    undo_->setObjectName(QStringLiteral("HistoryUndo"));
    close_ = new QPushButton(this);
    close_->setObjectName(QStringLiteral("HistoryClose"));
    buttons->addWidget(refusal_, 1);
    buttons->addWidget(undo_);
    buttons->addWidget(close_);
    column->addLayout(buttons);

    connect(runsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &THistoryWindow::RunSelected);
    connect(undo_, &QPushButton::clicked, this, &THistoryWindow::UndoSelected);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    setTabOrder(runsView_, movesView_);
    setTabOrder(movesView_, undo_);
    setTabOrder(undo_, close_);
    UpdateUndo();
}

void THistoryWindow::LoadTexts() {
    setWindowTitle(texts_.Line("HISTORYTITLE"));
    runsInfo_->setText(texts_.Keyed("HISTORYRUNS") + QLatin1Char(':'));
    movesInfo_->setText(texts_.Keyed("HISTORYMOVES") + QLatin1Char(':'));
    undo_->setText(texts_.Keyed("HISTORYUNDO"));
    close_->setText(texts_.Keyed("HISTORYCLOSE"));
    // What a screen reader names them by: the captions without their accelerator.
    runsView_->setAccessibleName(texts_.Line("HISTORYRUNS"));
    movesView_->setAccessibleName(texts_.Line("HISTORYMOVES"));
    undo_->setAccessibleName(texts_.Line("HISTORYUNDO"));
    close_->setAccessibleName(texts_.Line("HISTORYCLOSE"));
    runsModel_->Retranslate();
    movesModel_->Retranslate();
    UpdateUndo();
}

const std::vector<THistoryRun>& THistoryWindow::Runs() const {
    return runsModel_->Runs();
}

int THistoryWindow::SelectedRow() const {
    const QModelIndex current = runsView_->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void THistoryWindow::SelectRow(int row) {
    runsView_->selectionModel()->setCurrentIndex(
        runsModel_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void THistoryWindow::Open() {
    if (!isVisible()) {
        LoadTexts();
        resize(settings_.HistoryWidth > 0 ? settings_.HistoryWidth : DefaultWidth,
               settings_.HistoryHeight > 0 ? settings_.HistoryHeight : DefaultHeight);
        ApplyWidths(*runsView_, settings_.HistoryColumnsWidth, {140, 180, 110, 80, 80, 80});
        ApplyWidths(*movesView_, settings_.HistoryMovesColumnsWidth, {240, 240, 180});
    }
    show();
    Refresh();
    raise();
    activateWindow();
}

void THistoryWindow::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QWidget::closeEvent(event);
}

void THistoryWindow::SaveLayout() {
    settings_.HistoryWidth = width();
    settings_.HistoryHeight = height();
    settings_.HistoryColumnsWidth = WidthsText(*runsView_);
    settings_.HistoryMovesColumnsWidth = WidthsText(*movesView_);
}

template <class T>
void THistoryWindow::InBackground(std::function<T()> work, std::function<void(T)> done) {
    auto result = std::make_shared<T>();
    QThread* reader = QThread::create([result, work = std::move(work)] { *result = work(); });
    readers_.push_back(reader);
    // Queued: `finished` comes from the reader's thread.
    connect(reader, &QThread::finished, this, [this, reader, result, done = std::move(done)] {
        readers_.erase(std::remove(readers_.begin(), readers_.end(), reader), readers_.end());
        reader->wait();
        reader->deleteLater();
        done(std::move(*result));
    });
    reader->start();
}

void THistoryWindow::ReadRuns(const std::string& keep) {
    const std::string folder = folder_;
    const std::uint64_t reading = ++runsReading_;
    InBackground<std::vector<THistoryRun>>([folder] { return ReadHistory(folder); },
                                           [this, keep, reading](std::vector<THistoryRun> runs) {
                                               // A list read before another was asked for is older
                                               // than that one.
                                               if (reading == runsReading_)
                                                   ShowRuns(std::move(runs), keep);
                                           });
}

void THistoryWindow::Refresh() {
    if (!isVisible())
        return;
    const int row = SelectedRow();
    ReadRuns(row >= 0 ? Runs()[static_cast<std::size_t>(row)].Summary.Journal.RunId
                      : std::string());
}

void THistoryWindow::ShowRuns(std::vector<THistoryRun> runs, const std::string& keep) {
    runsModel_->SetRuns(std::move(runs));
    const int row = runsModel_->RowOf(keep);
    if (row >= 0 || runsModel_->rowCount() > 0)
        SelectRow(std::max(row, 0));
    else
        RunSelected();
    emit runsShown();
}

void THistoryWindow::RunSelected() {
    const std::uint64_t reading = ++movesReading_;
    movesModel_->Clear();
    UpdateUndo();
    const int row = SelectedRow();
    if (row < 0) {
        movesNote_->hide();
        movesView_->show();
        emit movesShown();
        return;
    }
    movesView_->hide();
    movesNote_->setText(texts_.Line("HISTORYREADING"));
    movesNote_->show();
    const std::string path = Runs()[static_cast<std::size_t>(row)].Summary.Path;
    InBackground<TJournalRead>(
        [path] { return ReadJournal(path); },
        [this, reading](TJournalRead read) { ShowMoves(reading, std::move(read)); });
}

void THistoryWindow::ShowMoves(std::uint64_t reading, TJournalRead read) {
    if (reading != movesReading_) {
        TMovesModel::FreeLater(std::move(read.Journal));
        return; // another run was selected meanwhile
    }
    if (read.Status != TJournalRead::Ok) {
        QString problem = texts_.Line("HISTORYUNREADABLE");
        movesNote_->setText(problem.replace(QLatin1String("%1"), Q(read.Problem)));
    } else {
        movesModel_->SetJournal(std::move(read.Journal));
        movesNote_->hide();
        movesView_->show();
    }
    emit movesShown();
}

void THistoryWindow::UpdateUndo() {
    const int row = SelectedRow();
    const QString refusal = runsModel_->RefusalText(row);
    undo_->setEnabled(!busy_ && row >= 0 && refusal.isEmpty());
    refusal_->setText(refusal);
    refusal_->setAccessibleName(refusal);
}

void THistoryWindow::UndoSelected() {
    const int row = SelectedRow();
    if (busy_ || row < 0 || !runsModel_->RefusalText(row).isEmpty())
        return;
    const THistoryRun run = Runs()[static_cast<std::size_t>(row)];
    const TJournal& listed = run.Summary.Journal;
    const std::string question = FillPlaceholders(
        program_.GetText(listed.Mode == RenameMode::Undo ? "HISTORYCONFIRMUNDO" : "HISTORYCONFIRM"),
        {JournalLocalTime(listed.Time, "%Y-%m-%d %H:%M"), std::to_string(listed.EntryCount)});
    QMessageBox ask(QMessageBox::Question, windowTitle(), ScreenText(question),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("HistoryUndoQuestion"));
    ask.setDefaultButton(QMessageBox::Yes);
    if (ask.exec() != QMessageBox::Yes)
        return;

    busy_ = true;
    UpdateUndo();
    const std::string path = run.Summary.Path;
    const std::string folder = folder_;
    const std::string runId = listed.RunId;
    TJournalPlace place = JournalPlace(settings_, versionInfo_);
    place.Folder = folder;
    // The list may be old by now (another program may have taken the run back): the
    // refusal is asked again of the journals as they are, and the run read whole, as
    // `quillmark-cli undo --run` reads it.
    std::vector<THistoryRun> now;
    std::size_t index = 0;
    std::string refused;
    std::string unreadable;
    bool goingOn = false;
    const TUndoResult result = UndoWithProgress(
        this, ScreenText(JournalText(&program_, "HISTORYUNDOING")), texts_.CommonKeyed("CANCEL"),
        [&](const std::atomic<bool>& cancel, const UndoProgress& progress) {
            now = ReadHistory(folder);
            while (index < now.size() && now[index].Summary.Path != path)
                ++index;
            if (index < now.size())
                refused = UndoRefusal(now, index);
            if (!refused.empty())
                return TUndoResult{};
            const TJournalRead read = ReadJournal(path);
            if (read.Status != TJournalRead::Ok) {
                unreadable = read.Problem;
                return TUndoResult{};
            }
            if (!read.Journal.Closed && JournalWriterAlive(read.Journal)) {
                goingOn = true;
                return TUndoResult{};
            }
            return UndoJournal(path, read.Journal, place, cancel, progress);
        });
    busy_ = false;
    if (!unreadable.empty() || !refused.empty() || goingOn) {
        QString why;
        if (goingOn) {
            why = texts_.Line("HISTORYREFUSEGOINGON");
        } else if (!unreadable.empty()) {
            why = texts_.Line("HISTORYUNREADABLE").replace(QLatin1String("%1"), Q(unreadable));
        } else {
            TRunsModel fresh([this](const std::string& key) { return texts_.Line(key); });
            fresh.SetRuns(std::move(now));
            why = fresh.RefusalText(static_cast<int>(index));
            // Its journal has gone meanwhile.
            if (why.isEmpty())
                why = texts_.Line("HISTORYREFUSEOTHER").replace(QLatin1String("%1"), Q(refused));
        }
        QMessageBox box(QMessageBox::Warning, windowTitle(), why, QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("HistoryUndoRefused"));
        box.exec();
    } else {
        ShowUndoResult(this, &program_, result, "HistoryUndoResult");
        if (result.Run.Ran)
            emit runUndone(runId);
    }
    ReadRuns(runId);
}

} // namespace qm
