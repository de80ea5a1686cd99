#include "ExistingRule.h"

#include "settings/Settings.h"

#include <cstdio>

namespace {

// A folder of fixed entries: the one file of a get or put and what lies at its
// destination.
class TFixedSource : public IFolderSource {
public:
    explicit TFixedSource(std::vector<TWalkEntry> entries) : Entries_(std::move(entries)) {}
    bool List(const QByteArray&, std::vector<TWalkEntry>& entries) override {
        entries = Entries_;
        return true;
    }
    char Separator() const override { return '/'; }

private:
    std::vector<TWalkEntry> Entries_;
};

} // namespace

void ApplyExistingRule(TQueueBuilder& builder, const TToolOptions& options) {
    using B = TQueueBuilder;
    // Asking for newer sources only is asking that they replace the older files.
    builder.SetUnattended(options.Resume                       ? B::unResume
                          : options.Overwrite || options.Newer ? B::unOverwrite
                                                               : B::unSkip);
    builder.SetNewerOnly(options.Newer);
    builder.OnLog = [](const QString& text, TColor) {
        std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(text));
    };
}

TQueueHold::TQueueHold(TTransferItems& queue) : Queue_(&queue) {
    queue.HostView = this;
}

TQueueHold::~TQueueHold() {
    Release();
}

void TQueueHold::Release() {
    if (Queue_ && Queue_->HostView == this) Queue_->HostView = nullptr;
    Queue_ = nullptr;
}

TOneFileDecision DecideOneFile(const TToolOptions& options, const TSettings& settings, bool upload,
                               bool serverResumes, const TWalkEntry& source,
                               const std::optional<TWalkEntry>& existing) {
    // The destination name is the one given on the command line, never converted.
    TSettings rule = settings;
    rule.ConversionUseShortName = false;
    rule.ConversionCase = 0;
    rule.ConversionSpaces = 0;
    rule.SingleConnectionsOnly = true;
    // The item is only looked at, never run: a queue of its own, held.
    TTransferItemsList list;
    list.SetSettings(&rule);
    TTransferItems queue(&list);
    TQueueHold hold(queue);
    TQueueBuilder::TConnection connection;
    connection.ServerResumes = serverResumes;
    TQueueBuilder builder(rule, nullptr, connection, queue);
    ApplyExistingRule(builder, options);
    TFixedSource from({source});
    TFixedSource to(existing ? std::vector<TWalkEntry>{*existing} : std::vector<TWalkEntry>{});
    const QByteArray folder("/");
    if (upload)
        builder.Upload({source}, folder, folder, from, to);
    else
        builder.Download({source}, folder, folder, from, to);

    TOneFileDecision decision;
    decision.SkippedExisting = builder.SkippedExisting() > 0;
    decision.Transfer = queue.Count() == 1;
    if (decision.Transfer) decision.Offset = queue.Item(0)->StartOffset;
    return decision;
}
