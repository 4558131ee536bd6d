#include "transfer/copy_worker.h"

#include <utility>

TCopyWorker::TCopyWorker(TCopyEngine& engine) : engine_(engine), thread_([this] { Loop(); }) {}

TCopyWorker::~TCopyWorker() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TCopyWorker::Run(qint64 max_units) {
    {
        std::lock_guard lock(mutex_);
        if (run_ || quit_) {
            return;
        }
        run_ = true;
        stop_ = false;
        max_units_ = max_units;
        // The worker is idle: the engine may be read here. The displays start where the
        // engine stands (prepared, resumed, paused), not at nothing.
        PublishState();
        shared_.busy = true;
    }
    wake_.notify_all();
}

void TCopyWorker::Stop() {
    std::lock_guard lock(mutex_);
    if (run_) {
        stop_ = true;
    }
}

bool TCopyWorker::Busy() const {
    std::lock_guard lock(mutex_);
    return run_;
}

bool TCopyWorker::Wait(int msecs) {
    std::unique_lock lock(mutex_);
    if (msecs < 0) {
        idle_.wait(lock, [this] { return !run_; });
        return true;
    }
    return idle_.wait_for(lock, std::chrono::milliseconds(msecs), [this] { return !run_; });
}

void TCopyWorker::ShiftTiming(qint64 msecs) {
    std::lock_guard lock(mutex_);
    shift_msecs_ += msecs;
}

TCopySnapshot TCopyWorker::Take() {
    std::lock_guard lock(mutex_);
    TCopySnapshot taken = shared_;
    shared_.progress.new_lines.clear();
    shared_.progress.panel_info.clear();
    shared_.units = 0;
    shared_.error = nullptr;
    return taken;
}

void TCopyWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || run_; });
        if (quit_) {
            run_ = false;
            idle_.notify_all();
            return;
        }
        qint64 done = 0;
        while (!stop_ && (max_units_ <= 0 || done < max_units_)) {
            const qint64 shift = std::exchange(shift_msecs_, 0);
            lock.unlock();
            if (shift != 0) {
                engine_.ShiftTiming(shift);
            }
            std::exception_ptr error;
            try {
                engine_.CopyData();
            } catch (...) {
                error = std::current_exception();
            }
            ++done;
            lock.lock();
            // The engine changes only on this thread: reading it under the lock hands a
            // consistent picture over.
            Publish();
            if (error) {
                shared_.error = error;
                break;
            }
            if (engine_.IsDone()) {
                break;
            }
        }
        run_ = false;
        stop_ = false;
        shared_.busy = false;
        idle_.notify_all();
        if (run_ended_) {
            lock.unlock();
            run_ended_();
            lock.lock();
        }
    }
}

void TCopyWorker::Publish() {
    QStringList lines = shared_.progress.new_lines;
    lines << engine_.Progress().new_lines;
    PublishState();
    shared_.progress.new_lines = std::move(lines);
    ++shared_.units;
}

// Everything but the journal lines, which only the units add.
void TCopyWorker::PublishState() {
    const TCopyProgress& progress = engine_.Progress();
    QString panel = shared_.progress.panel_info;
    if (!progress.panel_info.isEmpty()) {
        panel = progress.panel_info;
    }
    QStringList lines = std::move(shared_.progress.new_lines);
    shared_.progress = progress;
    shared_.progress.new_lines = std::move(lines);
    shared_.progress.panel_info = panel;
    shared_.ind_table = engine_.IndTable();
    shared_.copy_off = engine_.CopyOff();
    shared_.committed_off = engine_.CommittedOff();
    shared_.traffic = engine_.Traffic();
    shared_.rows_left = engine_.RowsLeft();
    shared_.table_rows_left = engine_.TableRowsLeft();
}
