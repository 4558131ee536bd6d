#include "transfer/copy_rates.h"

#include <cmath>

#include "util/number_text.h"
#include "util/text_utils.h"

namespace {

constexpr qint64 kKnownAfterMsecs = 1000;

QString LeftText(qint64 seconds) {
    if (seconds < 0) {
        return QStringLiteral("неизвестно");
    }
    if (seconds == 0) {
        return QStringLiteral("меньше секунды");
    }
    return FormatDuration(uint32_t(std::min<qint64>(seconds, UINT32_MAX)));
}

}  // namespace

void TCopyRates::Add(qint64 msecs, const TCopyTraffic& traffic) {
    // Counters that went back (a new engine) start the measure anew.
    if (!samples_.empty() &&
        (msecs < samples_.back().msecs || traffic.rows < samples_.back().traffic.rows ||
         traffic.bytes < samples_.back().traffic.bytes)) {
        samples_.clear();
    }
    samples_.push_back({msecs, traffic});
    // One sample older than the window stays, so that the span covers the whole window.
    while (samples_.size() > 2 && msecs - samples_[1].msecs >= window_msecs_) {
        samples_.pop_front();
    }
}

qint64 TCopyRates::SpanMsecs() const {
    return samples_.size() < 2 ? 0 : samples_.back().msecs - samples_.front().msecs;
}

bool TCopyRates::Known() const {
    return SpanMsecs() >= kKnownAfterMsecs;
}

double TCopyRates::RowsPerSecond() const {
    if (!Known()) {
        return 0;
    }
    return double(samples_.back().traffic.rows - samples_.front().traffic.rows) * 1000.0 /
           double(SpanMsecs());
}

double TCopyRates::BytesPerSecond() const {
    if (!Known()) {
        return 0;
    }
    return double(samples_.back().traffic.bytes - samples_.front().traffic.bytes) * 1000.0 /
           double(SpanMsecs());
}

qint64 TCopyRates::SecondsFor(qint64 rows) const {
    if (rows <= 0) {
        return 0;
    }
    const double rate = RowsPerSecond();
    if (rate <= 0) {
        return -1;
    }
    return qint64(std::ceil(double(rows) / rate));
}

QString RatesText(const TCopyRates& rates, qint64 table_rows_left, qint64 rows_left) {
    if (!rates.Known()) {
        return QStringLiteral("Скорость: измеряется");
    }
    const double mb = rates.BytesPerSecond() / (1024.0 * 1024.0);
    QString mb_text = QString::number(mb, 'f', 1);
    mb_text.replace(u'.', u',');
    return QStringLiteral("Скорость: %1 строк/с, %2 МБ/с; осталось: таблица %3, всего %4")
        .arg(GroupDigits(qint64(std::llround(rates.RowsPerSecond()))), mb_text,
             LeftText(rates.SecondsFor(table_rows_left)), LeftText(rates.SecondsFor(rows_left)));
}
