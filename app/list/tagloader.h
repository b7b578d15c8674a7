#pragma once

// Reads the tags that the new names need from the listed files behind the window (see
// filetags/tagpool.h), each file once: the entries keep what was read. Names whose tags
// are still out show a placeholder; progressed() comes a few times a second while a read
// is under way, so that the column and the status line follow in batches, and finished()
// once every entry asked for has its tags.
//
// The read holds raw entries: Hold cancels it and waits for its workers (each finishes
// the file it is on) before anything changes the list, and nothing starts until the
// matching Release. The window holds it around every change of the list's rows and for
// the whole of a rename run, whose own worker reads what it needs.
//
// Window thread only. Destroying the loader cancels and waits like Hold.

#include "filetags/tagpool.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

namespace qm {

class TFileItems;

class TTagLoader : public QObject {
    Q_OBJECT
public:
    // What reads: ReadTags unless a test sets another.
    using Read =
        std::function<std::size_t(const TTagReadRequest& request, const std::atomic<bool>& cancel,
                                  const std::function<void(std::size_t done)>& done)>;

    explicit TTagLoader(TFileItems& items, QObject* parent = nullptr);
    ~TTagLoader() override;

    // The names now need the tags of `sources` (TagSource bits; 0: none): reads the
    // entries that lack them, from slot `firstRow` on (the rows on screen) and then the
    // ones above. A read under way that covers `sources` goes on; one that does not is
    // cancelled first. While held, only remembered.
    void Need(unsigned sources, int firstRow = 0);
    // Cancels the read under way and waits for it; nothing starts until Release. Nests.
    void Hold();
    // Ends a Hold; the last Need is taken up again once no Hold is left.
    void Release();

    bool Reading() const { return job_ != nullptr; }
    // Of the read under way: how many entries it reads, and how many are done.
    std::size_t Total() const;
    std::size_t Done() const;

    void SetRead(Read read) { read_ = std::move(read); }

signals:
    // More entries have their tags (a few times a second while a read is under way).
    void progressed();
    // The read is over: every entry asked for has its tags.
    void finished();

private:
    struct Job;

    void Stop();
    void Tick();
    void Arrive(const std::shared_ptr<Job>& job);

    TFileItems& items_;
    Read read_;
    std::shared_ptr<Job> job_;
    std::thread worker_;
    QTimer tick_;
    std::size_t shownDone_ = 0;
    int held_ = 0;
    unsigned wanted_ = 0;
    int firstRow_ = 0;
};

} // namespace qm
