#pragma once
// The copy's speed over the last seconds and the time it still needs: the window adds what
// the copy has sent (TCopyTraffic) at each tick, and reads rows/s, MB/s and the time left of
// the table and of the whole copy from the counted rows. Pure arithmetic; any thread.

#include <QString>
#include <deque>

#include "transfer/copy_engine.h"

class TCopyRates {
public:
    // The rates cover the last window_msecs; they are known once a second of it is seen.
    explicit TCopyRates(qint64 window_msecs = 5000) : window_msecs_(window_msecs) {}

    // At the moment msecs (any steady clock), the copy had sent traffic.
    void Add(qint64 msecs, const TCopyTraffic& traffic);
    // A pause or a new run: what came before says nothing of the speed from here on.
    void Reset() { samples_.clear(); }

    bool Known() const;
    double RowsPerSecond() const;   // 0 when not known
    double BytesPerSecond() const;  // 0 when not known
    // Seconds until rows more rows are copied at the current rate; -1 when not known.
    qint64 SecondsFor(qint64 rows) const;

private:
    struct TSample {
        qint64 msecs;
        TCopyTraffic traffic;
    };
    qint64 SpanMsecs() const;

    qint64 window_msecs_;
    std::deque<TSample> samples_;
};

// "Скорость: 12 345 строк/с, 3,4 МБ/с; осталось: таблица 00:01:05, всего 00:12:40"; while the
// rate is not known yet, "Скорость: измеряется". rows_left counts the whole copy's rest,
// table_rows_left the current table's.
QString RatesText(const TCopyRates& rates, qint64 table_rows_left, qint64 rows_left);
