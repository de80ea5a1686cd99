#pragma once

#include "views/ViewerFetch.h"

#include <QHash>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

// The internal viewer: pages, pictures and text files of the local disk or of a server.
// file:// is read here; ftp:// and http:// are fetched first, then shown, and a page's
// pictures and style sheets follow from the same place. Whatever lives elsewhere (another
// host, a local file named by a remote page) is never loaded.
class TViewer : public QTextBrowser {
    Q_OBJECT
public:
    // How long a stop waits for the running download to let go.
    static constexpr int StopWaitMs = 1000;
    // A page's resources fetched at most, so a page cannot keep the viewer busy forever.
    static constexpr int MaxResources = 64;

    explicit TViewer(QWidget* parent = nullptr);

    // Shows the location, which also becomes the only place pages and resources come
    // from; an ftp:// one is fetched with the log-in.
    void Navigate(const QUrl& url, const TViewerFetch::TLogin& login = {});
    // Stops fetching, once, within StopWaitMs.
    void Stop();
    bool Loading() const { return Loading_; }
    // The file shown, or being fetched.
    QUrl Location() const { return Location_; }

Q_SIGNALS:
    void LoadingChanged(bool loading);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void Open(const QUrl& url);
    void Show(const QUrl& url);
    void Arrived(const QUrl& url, const QByteArray& data, bool ok);
    void LinkClicked(const QUrl& link);
    void SetLoading(bool loading);
    void UpdateLoading();

    TViewerFetch* Fetch_;
    QUrl Location_;
    QUrl Current_; // the page shown, against which relative names resolve
    QUrl Page_;    // the page being fetched
    QHash<QUrl, QByteArray> Fetched_;
    QSet<QUrl> Asked_;   // resources asked for, fetched or not: each is fetched once
    QSet<QUrl> Waiting_; // resources still coming
    bool Loading_ = false;
};
