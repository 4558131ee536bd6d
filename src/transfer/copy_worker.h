#pragma once
// The copy's units on a thread of their own, so that the window never waits for a statement,
// a portion or a bulk load: the window hands the worker a run, reads what the units did
// through Take() on its timer, and asks the worker to stop between two units (Pause, closing).
// While a run is on, the engine, its connections and its statements belong to the worker; the
// window touches them again only once Busy() is false. One worker drives one engine; several
// engines (tables side by side) would each have a worker of their own.

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "transfer/copy_engine.h"

// What the runs did since the last Take(): the latest displays with every journal line they
// added, where the copy stands, and how a finished run ended.
struct TCopySnapshot {
    TCopyProgress progress;  // new_lines: all lines since the last Take()
    qint64 ind_table = 0;
    qint64 copy_off = 0;       // rows of the current table put into statements
    qint64 committed_off = 0;  // of those, the rows in the target
    TCopyTraffic traffic;
    qint64 rows_left = 0;  // rows still to copy, the current table's and the later tables'
    qint64 table_rows_left = 0;
    bool busy = false;         // a run is on
    qint64 units = 0;          // units done since the last Take()
    std::exception_ptr error;  // the unit that failed; the run ended with it
};

class TCopyWorker {
public:
    explicit TCopyWorker(TCopyEngine& engine);
    // Asks the run to stop and waits for the unit in flight.
    ~TCopyWorker();
    TCopyWorker(const TCopyWorker&) = delete;
    TCopyWorker& operator=(const TCopyWorker&) = delete;

    // Starts a run: units back to back until the copy is done, a unit fails, Stop() is asked,
    // or max_units units are done (0: no limit). Ignored while a run is on.
    void Run(qint64 max_units = 0);
    // The unit in flight finishes (its portion commits and the checkpoint follows it); no
    // other unit starts. Returns at once.
    void Stop();
    bool Busy() const;
    // Waits until the run is over; false when msecs passed first (negative: no limit).
    bool Wait(int msecs = -1);
    // Moves the copy's start on by msecs (time it stood paused), before the next unit.
    void ShiftTiming(qint64 msecs);
    // What happened since the last call; new lines and the error are handed over once.
    TCopySnapshot Take();
    // Called on the worker's thread each time a run has ended (its snapshot published), so
    // that the window shows the end at once rather than on its next tick. Set before the
    // first run.
    void OnRunEnded(std::function<void()> notify) { run_ended_ = std::move(notify); }

private:
    void Loop();
    void Publish();
    void PublishState();

    TCopyEngine& engine_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool quit_ = false;
    bool run_ = false;
    bool stop_ = false;
    qint64 max_units_ = 0;
    qint64 shift_msecs_ = 0;
    TCopySnapshot shared_;
    std::function<void()> run_ended_;
    std::thread thread_;
};
