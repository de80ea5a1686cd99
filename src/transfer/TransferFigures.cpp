#include "transfer/TransferFigures.h"

#include "engine/EngineSettings.h"
#include "listing/FtpUtils.h"
#include "platform/FileTime.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "views/ViewFormat.h"

#include <algorithm>

namespace {

QString Thousands(int64_t n) {
    const QString digits = QString::number(n < 0 ? -n : n);
    return (n < 0 ? QStringLiteral("-") : QString()) + FormatThousands(digits);
}

} // namespace

QString DurationText(int64_t s) {
    s = std::max<int64_t>(s, 0);
    if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString RateText(int64_t r) {
    if (r < 1024) return QString::number(r) + QStringLiteral(" Bytes");
    QString hundredths = QString::number(MulDiv(r, 100, 1024));
    hundredths.insert(hundredths.size() - 2, QLatin1Char('.'));
    return hundredths + QStringLiteral(" KB");
}

QString BytesCopiedText(int64_t done, int64_t total) {
    return QStringLiteral("%1 of %2 bytes copied").arg(Thousands(done), Thousands(total));
}

QString ItemStatusText(const TTransferItem& item) {
    switch (item.State()) {
    case isPending:
        return item.Upload ? QStringLiteral("Upload Pending") : QStringLiteral("Download Pending");
    case isBusy:
        return QStringLiteral("%1 bytes copied, %2% done")
            .arg(Thousands(item.BytesDone))
            .arg(MulDiv(100, item.BytesDone, item.Size));
    case isDone:
        return QStringLiteral("Done");
    case isCancelled:
        return QStringLiteral("Cancelled");
    case isError:
        return item.ErrorText.isEmpty() ? QStringLiteral("Aborted due to Error")
                                        : QStringLiteral("Aborted due to Error: ") + item.ErrorText;
    }
    return QString();
}

bool TransferStalled(uint64_t lastProgressTick, uint64_t nowTick, uint32_t timeOutMs) {
    return timeOutMs > 0 && nowTick > lastProgressTick &&
           nowTick - lastProgressTick >= timeOutMs / 2;
}

QString FailedRunText(int failed, int total) {
    if (failed <= 0) return {};
    return QStringLiteral("%1 of %2 %3 failed")
        .arg(failed)
        .arg(total)
        .arg(total == 1 ? QStringLiteral("file") : QStringLiteral("files"));
}

TProgressFigures ComputeProgressFigures(const TTransferItems& queue, const TTransferItem& item,
                                        uint64_t now) {
    TProgressFigures f;
    const int pending = queue.StateCount(isPending);
    f.FileName = DisplayText(item.FileName);
    // The window follows one item; the others running beside it are counted.
    if (const int others = queue.StateCount(isBusy) - 1; others > 0 && item.State() == isBusy)
        f.FileName += QStringLiteral(" (and %1 more running)").arg(others);
    f.CurrentBytes = BytesCopiedText(item.BytesDone, item.Size);
    f.CurrentPercent = item.PercentDone();
    const int64_t e = static_cast<int64_t>(now - item.StartTick) / 1000;
    f.CurrentElapsed = DurationText(e) + QStringLiteral(" elapsed");
    const int64_t itemMoved = item.BytesDone - item.StartOffset;
    // From milliseconds: in a file's first second, whole seconds would leave nothing to go.
    const int64_t leftMs =
        MulDiv(static_cast<int64_t>(now - item.StartTick), item.Size - item.BytesDone, itemMoved);
    f.CurrentRemaining =
        DurationText(leftMs < 0 ? 0 : (leftMs + 500) / 1000) + QStringLiteral(" remaining");

    const int64_t total = static_cast<int64_t>(now - queue.StartTick) / 1000;
    // Every running item counts towards the files of the run, not only the one shown.
    const int files = queue.CompletedCount + pending + std::max(1, queue.StateCount(isBusy));
    f.FileCount = QStringLiteral("File %1 of %2").arg(queue.CompletedCount + 1).arg(files);
    if (queue.FailedCount > 0) f.FileCount += QStringLiteral(", %1 failed").arg(queue.FailedCount);
    f.TotalBytes = BytesCopiedText(queue.BytesDone, queue.BytesDone + queue.BytesLeft);
    f.TotalPercent = queue.PercentDone();
    f.TotalElapsed = DurationText(total) + QStringLiteral(" elapsed");
    const int64_t remaining = MulDiv(total, queue.BytesLeft, queue.BytesMoved);
    f.TotalRemaining = DurationText(remaining) + QStringLiteral(" remaining");
    f.Rate = RateText(total >= 1 ? queue.BytesMoved / total : 0);
    f.Status = QStringLiteral("%1% Transferred (file %2/%3), ")
                   .arg(f.TotalPercent)
                   .arg(queue.CompletedCount + 1)
                   .arg(files);
    f.Stalled = item.State() == isBusy &&
                TransferStalled(item.LastProgressTick, now, EngineSettings().TimeOut);
    if (f.Stalled) {
        // Remaining times and rates mean nothing while no byte comes.
        f.CurrentRemaining = f.TotalRemaining = QStringLiteral("stalled");
        f.Status += QStringLiteral("stalled");
        f.ShownCaption = QStringLiteral("%1% Transferred (stalled) - Tolvar").arg(f.TotalPercent);
    } else {
        f.Status += QStringLiteral("%1 remaining at %2/sec").arg(DurationText(remaining), f.Rate);
        f.ShownCaption =
            QStringLiteral("%1% Transferred (%2/sec) - Tolvar").arg(f.TotalPercent).arg(f.Rate);
    }
    f.HiddenCaption = f.Status + QStringLiteral(" - Tolvar");
    return f;
}

QString UnfinishedTransfersText(const TTransferItemsList& list) {
    constexpr int Named = 3;
    QStringList names;
    int count = 0;
    for (const TItemState state : {isBusy, isPending})
        for (int q = 0; q < list.Count(); ++q) {
            const TTransferItems& queue = *list.Queue(q);
            for (int i = 0; i < queue.Count(); ++i) {
                const TTransferItem& item = *queue.Item(i);
                if (item.State() != state) continue;
                ++count;
                if (names.size() == Named) continue;
                const QString detail = state == isBusy
                                           ? QStringLiteral("%1%").arg(item.PercentDone())
                                           : QStringLiteral("waiting");
                names << QStringLiteral("%1 (%2)").arg(DisplayText(item.FileName), detail);
            }
        }
    if (count == 0) return {};
    QString text = count == 1 ? QStringLiteral("1 transfer is not finished: ")
                              : QStringLiteral("%1 transfers are not finished: ").arg(count);
    if (count > names.size()) {
        text += names.join(QStringLiteral(", "));
        return text + QStringLiteral(" and %1 more").arg(count - names.size());
    }
    const QString last = names.takeLast();
    return text + (names.isEmpty()
                       ? last
                       : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
}

bool CancelTransferItem(TTransferItem& item) {
    if (item.State() == isPending) {
        item.SetState(isCancelled);
        return true;
    }
    if (item.State() == isBusy) {
        item.Cancel();
        return true;
    }
    return false;
}

bool ResubmitTransferItem(TTransferItem& item) {
    if (item.State() != isCancelled || !item.Owner) return false;
    item.SetState(isPending);
    item.Owner->ProcessNext();
    return true;
}

bool PreserveTimeStamp(const TTransferItem& item, const TSettings& settings) {
    if (!settings.PreserveTimeStamp || item.State() != isDone || item.Upload || item.IsFolder ||
        item.Date == 0)
        return false;
    return SetModificationTime(item.LocalPath(), DateTimeFromDayNumber(item.Date));
}
