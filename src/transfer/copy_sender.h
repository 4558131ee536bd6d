#pragma once
// The sending half of the COPY writer: a thread that streams finished blocks of COPY text to
// the target while the writer's own thread goes on reading the source and rendering rows. The
// session is handed over at Start and comes back when Finish or Stop return; between the two,
// only the sender's thread uses it. A failure of the sender is kept and raised on the writer's
// thread by Push or Finish.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "db/pg_copy.h"

class TCopySender {
public:
    // Blocks handed over and not yet sent, at most: the memory a slow target can hold up.
    static constexpr size_t kQueueBlocks = 3;

    TCopySender() = default;
    ~TCopySender() { Stop(); }
    TCopySender(const TCopySender&) = delete;
    TCopySender& operator=(const TCopySender&) = delete;

    // Takes the session over: its thread begins a transaction and the COPY of copy_sql, then
    // sends the blocks pushed, adding their sizes to bytes_sent.
    void Start(TPgCopySession& session, const QString& copy_sql, std::atomic<qint64>& bytes_sent);
    bool Running() const { return thread_.joinable(); }
    // Queues a block, waiting while the queue is full. When the sender has failed, gives the
    // session back and raises its failure.
    void Push(QByteArray block);
    // Waits until every block is sent and gives the session back, in its COPY and its
    // transaction; raises the sender's failure.
    void Finish();
    // Gives the session back at once, the blocks still queued left unsent; the session is in
    // whatever state the sender left it (the caller rolls back). A sender that does not come
    // back within a moment (a server that stopped reading) has its statement cancelled.
    void Stop();

private:
    void Run(TPgCopySession* session, QString copy_sql, std::atomic<qint64>* bytes_sent);
    // Joins the thread and raises its failure, if any.
    void Join();

    std::thread thread_;
    std::unique_ptr<TPgCancel> cancel_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> queue_;
    bool done_ = false;    // no more blocks come
    bool stop_ = false;    // leave the rest
    bool exited_ = false;  // the thread's loop has ended
    std::exception_ptr error_;
};
