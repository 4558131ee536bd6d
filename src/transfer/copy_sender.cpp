#include "transfer/copy_sender.h"

#include <chrono>

void TCopySender::Start(TPgCopySession& session, const QString& copy_sql,
                        std::atomic<qint64>& bytes_sent) {
    Stop();
    queue_.clear();
    done_ = false;
    stop_ = false;
    exited_ = false;
    error_ = nullptr;
    cancel_ = std::make_unique<TPgCancel>(session);
    thread_ = std::thread(&TCopySender::Run, this, &session, copy_sql, &bytes_sent);
}

void TCopySender::Run(TPgCopySession* session, QString copy_sql, std::atomic<qint64>* bytes_sent) {
    try {
        session->Exec(QStringLiteral("BEGIN"));
        session->BeginCopy(copy_sql);
        while (true) {
            QByteArray block;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return stop_ || done_ || !queue_.empty(); });
                if (stop_ || queue_.empty()) {
                    break;
                }
                block = std::move(queue_.front());
                queue_.pop_front();
            }
            changed_.notify_all();
            session->Put(block);
            bytes_sent->fetch_add(block.size());
        }
    } catch (...) {
        const std::lock_guard lock(mutex_);
        error_ = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex_);
        exited_ = true;
        // What was never sent is of no use any more.
        queue_.clear();
    }
    changed_.notify_all();
}

void TCopySender::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
    cancel_.reset();
    if (error_) {
        std::exception_ptr error = std::exchange(error_, nullptr);
        std::rethrow_exception(error);
    }
}

void TCopySender::Push(QByteArray block) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return exited_ || queue_.size() < kQueueBlocks; });
        if (!exited_) {
            queue_.push_back(std::move(block));
            lock.unlock();
            changed_.notify_all();
            return;
        }
    }
    // The loop ends early only on a failure, which Join raises.
    Join();
    throw TPgError(QStringLiteral("Передача данных COPY прервана"), QString(), {}, 0);
}

void TCopySender::Finish() {
    if (!Running()) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        done_ = true;
    }
    changed_.notify_all();
    Join();
}

void TCopySender::Stop() {
    if (!Running()) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        stop_ = true;
        changed_.notify_all();
        // The sender is inside libpq: a server that takes data keeps it moving; one that
        // waits (for a lock, say) is told to give the statement up.
        if (!changed_.wait_for(lock, std::chrono::seconds(2), [this] { return exited_; })) {
            lock.unlock();
            cancel_->Cancel();
        }
    }
    try {
        Join();
    } catch (...) {
        // Stopped on purpose: the failure is the caller's to find on the session, if at all.
    }
}
