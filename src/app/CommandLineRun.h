#pragma once

#include "transfer/TransferMonitor.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class TfrmMain;
class THostView;
class TLocalView;
struct TCommandLine;

// Runs what the command line asks of the window: connects, queues the files to fetch
// and send, and, with "exit when done", closes the window once every queue is idle, or
// at once when nothing could be queued. ExitStatus() then says how the run went: 0 when
// every item arrived, 2 when one failed or was cancelled, or nothing was done.
class TCommandLineRunner : public QObject, private ITransferQueueListener {
    Q_OBJECT
public:
    // Lives shorter than the window, whose transfer monitor it listens to.
    explicit TCommandLineRunner(TfrmMain& window);
    ~TCommandLineRunner() override;

    // The first activation's run. exitWhenDone is the -x switch.
    void Run(const TCommandLine& commandLine);
    // What a later start handed over: its folder first, then its arguments. Runs in a
    // new host tab; it never closes the window.
    void RunHandedOver(const QStringList& message);
    // Connects to an ftp:// URL as the URL window would.
    void RunURL(const QString& url);

    int ExitStatus() const;

private:
    void Start(const TCommandLine& commandLine, bool exitWhenDone, bool handedOver = false);
    TLocalView* LocalViewOf(const QString& folder) const;
    void Check();
    void Finish();
    void Log(const QString& text);
    void ItemFinished(TTransferItems* queue, TTransferItem* item) override;

    TfrmMain& Window_;
    QTimer Poll_;
    QPointer<THostView> Browse_;
    bool ExitWhenDone_ = false;
    bool BrowseWasConnected_ = false;
    int BrowseIdleTicks_ = 0;
    int Queued_ = 0;
    int Done_ = 0;
    int Failed_ = 0;
    bool Errors_ = false;
    bool Finished_ = false;
};
