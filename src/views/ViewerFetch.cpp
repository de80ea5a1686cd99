#include "views/ViewerFetch.h"

#include "engine/FtpComponent.h"
#include "platform/SafeName.h"
#include "settings/SessionLogIn.h"
#include "settings/Settings.h"
#include "views/HostBrowser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

constexpr int BinaryType = 2;

int DefaultPort(const QString& scheme) {
    return scheme == QLatin1String("http") ? 80 : scheme == QLatin1String("ftp") ? 21 : -1;
}

// The raw server path of an ftp:// location (the pane composes them percent-encoded).
QByteArray ServerPath(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QString SessionKey(const QUrl& url) {
    return url.scheme() + QLatin1Char(' ') + url.host().toLower() + QLatin1Char(' ') +
           QString::number(url.port(DefaultPort(url.scheme()))) + QLatin1Char(' ') + url.userName();
}

} // namespace

TViewerKind ViewerKind(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return TViewerKind::None;
    const QString extension = fileName.mid(dot + 1).toLower();
    static const QStringList pages = {"html", "htm", "shtml", "asp", "cfm", "asi"};
    static const QStringList pictures = {"gif", "jpg", "jpeg", "png"};
    static const QStringList texts = {"css", "js", "txt"};
    if (pages.contains(extension)) return TViewerKind::Page;
    if (pictures.contains(extension)) return TViewerKind::Picture;
    if (texts.contains(extension)) return TViewerKind::Text;
    return TViewerKind::None;
}

bool SameViewerOrigin(const QUrl& a, const QUrl& b) {
    if (!a.isValid() || !b.isValid() || a.scheme().compare(b.scheme(), Qt::CaseInsensitive) != 0)
        return false;
    const int port = DefaultPort(a.scheme().toLower());
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(port) == b.port(port) &&
           a.userName() == b.userName();
}

TViewerFetch::TLogin TViewerFetch::LoginOf(const THostBrowser& browser) {
    const TFTPComponent& session = *browser.Session();
    return {session.Host,         session.Port,        session.User,
            session.Password,     session.Account,     session.Passive(),
            browser.UsesFirewall, &browser.Settings(), session.Security};
}

TViewerFetch::TViewerFetch(QObject* parent) : QObject(parent) {}

TViewerFetch::~TViewerFetch() = default;

void TViewerFetch::SetLogin(const TLogin& login) {
    const bool sameServer = login.Host == Login_.Host && login.Port == Login_.Port &&
                            login.User == Login_.User && login.Password == Login_.Password &&
                            login.Security == Login_.Security;
    Login_ = login;
    // Another server or user: the next ftp:// fetch logs in afresh.
    if (!sameServer && SessionKey_.startsWith(QLatin1String("ftp "))) {
        Stop(0);
        Session_.reset();
        SessionKey_.clear();
    }
}

bool TViewerFetch::Fetch(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("ftp")) {
        if (url.host().compare(Login_.Host, Qt::CaseInsensitive) != 0 ||
            url.port(21) != Login_.Port)
            return false;
    } else if (scheme != QLatin1String("http")) {
        return false;
    }
    Queue_.append(url);
    if (Running_ == 0) StartNext();
    return true;
}

bool TViewerFetch::MakeSession(const QUrl& url) {
    const QString key = SessionKey(url);
    const bool http = url.scheme().toLower() == QLatin1String("http");
    // Each HTTP download connects by itself; an FTP session stays logged in for the next.
    if (Session_ && key == SessionKey_) return true;
    Session_ = std::make_unique<TFTPComponent>(this);
    SessionKey_ = key;
    Session_->OnCommandResult = [this](TFTPComponent*, const TCommandCompletedEventData& r) {
        if (r.Id == Running_ && r.Final) Finished(r.Success && !r.Aborted);
    };
    if (http) return true;
    Session_->Host = Login_.Host;
    Session_->Port = Login_.Port;
    Session_->User = Login_.User;
    Session_->Password = Login_.Password;
    Session_->Account = Login_.Account;
    Session_->Security = Login_.Security;
    Session_->SetPassive(Login_.Passive);
    static const TSettings defaults = DefaultSettings();
    QueueLogIn(*Session_, Login_.Settings ? *Login_.Settings : defaults, Login_.UseFirewall);
    return true;
}

void TViewerFetch::StartNext() {
    while (Running_ == 0 && !Queue_.isEmpty()) {
        Current_ = Queue_.takeFirst();
        MakeSession(Current_);
        // Numbered names in the private folder: no server name becomes a local path.
        CurrentFile_ = PrivateTempFolder() + QStringLiteral("viewer-%1").arg(++Counter_);
        if (Current_.scheme().toLower() == QLatin1String("http")) {
            Running_ = Session_->GetHTTP(Current_.toString(QUrl::FullyEncoded), CurrentFile_);
        } else {
            const QByteArray path = ServerPath(Current_);
            Running_ = Session_->Download(path.left(path.lastIndexOf('/') + 1), path, CurrentFile_,
                                          BinaryType);
        }
        if (Running_ == 0) Q_EMIT Fetched(Current_, QByteArray(), false);
    }
}

void TViewerFetch::Finished(bool ok) {
    QByteArray data;
    QFile file(CurrentFile_);
    if (ok && file.open(QIODevice::ReadOnly)) data = file.readAll();
    file.close();
    QFile::remove(CurrentFile_);
    Running_ = 0;
    const QUrl url = Current_;
    Q_EMIT Fetched(url, data, ok);
    StartNext();
}

void TViewerFetch::Stop(int waitMs) {
    Queue_.clear();
    if (Running_ == 0 || !Session_) {
        Running_ = 0;
        return;
    }
    Running_ = 0;
    Session_->Abort();
    // Polled without running the event loop: nothing else happens meanwhile, and the
    // wait ends at its bound whatever the server does.
    QElapsedTimer clock;
    clock.start();
    while (Session_->Busy() && clock.elapsed() < waitMs)
        QThread::msleep(5);
    if (Session_->Busy()) {
        Session_.reset();
        SessionKey_.clear();
    }
    QFile::remove(CurrentFile_);
}
