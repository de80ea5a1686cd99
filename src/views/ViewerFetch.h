#pragma once

#include "engine/Tls.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class TFTPComponent;
class THostBrowser;
struct TSettings;

// What the internal viewer makes of a file, by its extension.
enum class TViewerKind { None, Page, Picture, Text };

// The kind of a file name the viewer previews; None for any other extension (compared in
// lower case), which the viewer leaves alone.
TViewerKind ViewerKind(const QString& fileName);
// Whether a page may take a resource from the location: same scheme, host, port and user.
// The viewer shows the files of one place and never reaches out to another host.
bool SameViewerOrigin(const QUrl& a, const QUrl& b);

// Brings the files the internal viewer shows from a server into memory: ftp:// through a
// session of its own, so the pane's session stays free to list and transfer, http://
// through the engine's HTTP download. One file at a time, in the order asked.
class TViewerFetch : public QObject {
    Q_OBJECT
public:
    // How the viewer's own session logs in: the pane's server, user and firewall choice.
    struct TLogin {
        QString Host;
        int Port = 21;
        QByteArray User, Password, Account;
        bool Passive = false;
        bool UseFirewall = false;
        const TSettings* Settings = nullptr;
        TSessionSecurity Security;
    };
    static TLogin LoginOf(const THostBrowser& browser);

    explicit TViewerFetch(QObject* parent = nullptr);
    ~TViewerFetch() override;

    // The log-in for ftp:// locations of that server from now on.
    void SetLogin(const TLogin& login);
    // Queues the location; false for a scheme other than ftp and http, or an ftp:// one
    // of another server than the log-in's.
    bool Fetch(const QUrl& url);
    // Drops what is queued and stops the running download, waiting at most waitMs for the
    // session to let go; a session still busy then is given up (a fresh one serves the
    // next fetch). Nothing already asked for is reported afterwards.
    void Stop(int waitMs);
    bool Busy() const { return Running_ != 0 || !Queue_.isEmpty(); }

Q_SIGNALS:
    // A location's bytes; ok false when it could not be fetched.
    void Fetched(const QUrl& url, const QByteArray& data, bool ok);

private:
    void StartNext();
    void Finished(bool ok);
    bool MakeSession(const QUrl& url);

    TLogin Login_;
    std::unique_ptr<TFTPComponent> Session_;
    QString SessionKey_; // the scheme, server and user the session serves
    QList<QUrl> Queue_;
    QUrl Current_;
    QString CurrentFile_;
    uint64_t Running_ = 0;
    int Counter_ = 0;
};
