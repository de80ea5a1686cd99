#pragma once

#include "transfer/TransferItem.h"

#include <QString>

#include <cstdint>

class TTransferItems;
class TTransferItemsList;
struct TSettings;

// The texts the progress window and the transfer manager show, computed without a window.

// "1:35" below an hour, "1:02:05" from an hour on; a negative duration counts as 0.
QString DurationText(int64_t seconds);
// "1023 Bytes" below 1024 bytes per second, else kilobytes with two decimals: "1.50 KB".
QString RateText(int64_t bytesPerSecond);
// "1,000 of 2,500 bytes copied".
QString BytesCopiedText(int64_t done, int64_t total);
// The manager's status column: "Download Pending", "1,000 bytes copied, 40% done", "Done",
// "Aborted due to Error: 550 Permission denied."...
QString ItemStatusText(const TTransferItem& item);
// True when a transfer has received nothing for half the time-out (0: none): the user
// learns of a frozen server well before the engine gives up on it.
bool TransferStalled(uint64_t lastProgressTick, uint64_t nowTick, uint32_t timeOutMs);
// "2 of 11 files failed"; empty when none did.
QString FailedRunText(int failed, int total);

// Everything the progress window shows for the running item of a queue at one moment.
struct TProgressFigures {
    QString FileName;
    QString CurrentBytes;
    int CurrentPercent = 0;
    QString CurrentElapsed, CurrentRemaining;
    QString FileCount;
    QString TotalBytes;
    int TotalPercent = 0;
    QString TotalElapsed, TotalRemaining;
    QString Rate;
    bool Stalled = false;
    // "40% Transferred (file 1/3), 0:12 remaining at 1.50 KB/sec"
    QString Status;
    // The window's caption while it shows, and the one it takes (with the task bar's
    // title) while hidden.
    QString ShownCaption, HiddenCaption;
};

// Rates and remaining times count only the bytes moved in this run, so a resumed file
// does not look fast for what it already had; the engine's time-out decides "stalled".
// nowTick is TickCount().
TProgressFigures ComputeProgressFigures(const TTransferItems& queue, const TTransferItem& item,
                                        uint64_t nowTick);

// The transfers of every queue that have not finished, for the quit question: "1 transfer
// is not finished: big.bin (45%)"; running ones first, at most three named. Empty when
// every queue is idle.
QString UnfinishedTransfersText(const TTransferItemsList& list);

// The manager's commands, re-checked against the item's state when they run: a stale
// Cancel of an item that has finished meanwhile does nothing. True when something changed.
bool CancelTransferItem(TTransferItem& item);
// A cancelled item waits again and its queue goes on (a new run when the queue was idle).
bool ResubmitTransferItem(TTransferItem& item);

// Gives a finished download the source's modification time when the settings ask for it.
// Only the time changes: the file is not opened for writing. False when nothing was set.
bool PreserveTimeStamp(const TTransferItem& item, const TSettings& settings);
