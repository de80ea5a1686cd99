#include "views/widgets/Viewer.h"

#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>

namespace {

QUrl WithoutFragment(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment);
}

// Addresses as the user may see them: never with the password.
QString Shown(const QUrl& url) {
    return url.toDisplayString(QUrl::RemovePassword).toHtmlEscaped();
}

// What the viewer shows for a location's bytes, by the kind of file.
QVariant PageFor(const QUrl& url, const QByteArray& bytes) {
    switch (ViewerKind(url.fileName())) {
    case TViewerKind::Picture:
        return QStringLiteral("<p align=\"center\"><img src=\"%1\"></p>")
            .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped());
    case TViewerKind::Text:
        return QStringLiteral("<pre>%1</pre>").arg(QString::fromUtf8(bytes).toHtmlEscaped());
    default:
        return bytes; // a page: its own character set decides
    }
}

// A blank answer, never none: without one Qt reads a file of that name itself.
QVariant Refused(int type) {
    if (type != QTextDocument::ImageResource) return QByteArray();
    QImage blank(1, 1, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return blank;
}

} // namespace

TViewer::TViewer(QWidget* parent) : QTextBrowser(parent), Fetch_(new TViewerFetch(this)) {
    setObjectName(QStringLiteral("Viewer"));
    // Links are followed here, so that the host rule holds for them too.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TViewer::LinkClicked);
    connect(Fetch_, &TViewerFetch::Fetched, this, &TViewer::Arrived);
}

void TViewer::Navigate(const QUrl& url, const TViewerFetch::TLogin& login) {
    Stop();
    Fetched_.clear();
    Asked_.clear();
    Location_ = url;
    // A local file keeps the server's session logged in for the next remote one.
    if (url.scheme() == QLatin1String("ftp")) Fetch_->SetLogin(login);
    Open(url);
}

void TViewer::Stop() {
    Fetch_->Stop(StopWaitMs);
    Page_ = QUrl();
    // What did not come may be asked for again by the next page.
    for (const QUrl& url : std::as_const(Waiting_))
        Asked_.remove(url);
    Waiting_.clear();
    SetLoading(false);
}

void TViewer::Open(const QUrl& url) {
    const QUrl page = WithoutFragment(url);
    if (url.isLocalFile() || Fetched_.contains(page)) {
        Show(url);
        return;
    }
    Page_ = page;
    if (!Fetch_->Fetch(page)) {
        Page_ = QUrl();
        setHtml(QStringLiteral("<p>%1 cannot be shown here.</p>").arg(Shown(url)));
        return;
    }
    SetLoading(true);
}

void TViewer::Show(const QUrl& url) {
    Current_ = url;
    if (WithoutFragment(source()) == WithoutFragment(url))
        reload();
    else
        setSource(url, QTextDocument::HtmlResource);
    // Asked for now, shown or not (a hidden page is not laid out), so that the loading
    // lasts until the pictures have come.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (const QTextCharFormat format = it.fragment().charFormat(); format.isImageFormat())
                document()->resource(QTextDocument::ImageResource,
                                     QUrl(format.toImageFormat().name()));
    UpdateLoading();
}

QVariant TViewer::loadResource(int type, const QUrl& name) {
    const QUrl url = WithoutFragment(name.isRelative() ? Current_.resolved(name) : name);
    if (url.scheme() == QLatin1String("data")) return QVariant(); // inline, decoded by Qt
    if (!SameViewerOrigin(url, Location_)) return Refused(type);
    if (url.isLocalFile()) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly)) return Refused(type);
        const QByteArray bytes = file.readAll();
        return type == QTextDocument::HtmlResource ? PageFor(url, bytes) : bytes;
    }
    if (const auto found = Fetched_.constFind(url); found != Fetched_.constEnd())
        return type == QTextDocument::HtmlResource ? PageFor(url, *found) : *found;
    if (type != QTextDocument::HtmlResource && !Asked_.contains(url) &&
        Asked_.size() < MaxResources && Fetch_->Fetch(url)) {
        Asked_.insert(url);
        Waiting_.insert(url);
        UpdateLoading();
    }
    return Refused(type);
}

void TViewer::Arrived(const QUrl& url, const QByteArray& data, bool ok) {
    if (url == Page_) {
        Page_ = QUrl();
        if (ok) {
            Fetched_.insert(url, data);
            Show(url);
        } else {
            setHtml(QStringLiteral("<p>%1 could not be fetched.</p>").arg(Shown(url)));
            UpdateLoading();
        }
        return;
    }
    if (!Waiting_.remove(url)) return;
    if (ok) Fetched_.insert(url, data);
    // Once all have come, the page is laid out again with them.
    if (Waiting_.isEmpty() && Current_.isValid()) reload();
    UpdateLoading();
}

void TViewer::LinkClicked(const QUrl& link) {
    const QUrl url = Current_.resolved(link);
    if (WithoutFragment(url) == WithoutFragment(Current_)) {
        if (url.hasFragment()) scrollToAnchor(url.fragment());
        return;
    }
    if (!SameViewerOrigin(url, Location_)) return;
    Stop();
    Open(url);
}

void TViewer::UpdateLoading() {
    SetLoading(Page_.isValid() || !Waiting_.isEmpty());
}

void TViewer::SetLoading(bool loading) {
    if (loading == Loading_) return;
    Loading_ = loading;
    Q_EMIT LoadingChanged(loading);
}
