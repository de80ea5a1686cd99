#pragma once

#include "ToolOptions.h"

#include "transfer/QueueBuilder.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferWindows.h"

#include <QString>

#include <functional>
#include <optional>

// With nobody to ask, the command line's options answer for an existing destination
// file: skip it (the default), overwrite it, resume it, or replace it only from a newer
// source. Every command takes its answers from the queue builder, so get and put decide
// as mget, mput and the panes do.

// Sets the builder's answers from the options and prints what it reports.
void ApplyExistingRule(TQueueBuilder& builder, const TToolOptions& options);

// Holds a queue's items back while a command adds them: the queue waits for a host view
// that is still queueing, as it does for a pane's batch. The queue's settings must ask
// for single connections (that is when it waits for its host view).
class TQueueHold : public ITransferHostView {
public:
    explicit TQueueHold(TTransferItems& queue);
    ~TQueueHold() override;
    // Lets the queue start its items.
    void Release();

    TFTPComponent* OwnSession() override { return nullptr; }
    bool Queueing() const override { return true; }
    void SetTransfersBusy(bool) override {}

private:
    TTransferItems* Queue_;
};

// One file's fate, for get and put.
struct TOneFileDecision {
    bool Transfer = true;
    int64_t Offset = 0;
    bool SkippedExisting = false;
};

// `source` is the file to send, `existing` the destination file if there is one; both
// named as the destination names the file.
TOneFileDecision DecideOneFile(const TToolOptions& options, const TSettings& settings, bool upload,
                               bool serverResumes, const TWalkEntry& source,
                               const std::optional<TWalkEntry>& existing);
