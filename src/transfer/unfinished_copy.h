#pragma once
// What an unfinished copy left behind, as the offer to resume it describes it.

#include <QDateTime>
#include <QString>
#include <optional>

#include "transfer/checkpoint.h"

struct TUnfinishedCopy {
    // Where the target stands; nothing when the checkpoint cannot be read.
    std::optional<TCheckpoint> checkpoint;
    // Why it cannot be read.
    QString unreadable;
    // When the checkpoint file was last written; invalid when only the target's state table
    // holds the checkpoint.
    QDateTime written;
};
