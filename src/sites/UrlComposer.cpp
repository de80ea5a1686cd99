#include "sites/UrlComposer.h"

#include <QHostAddress>

namespace {

const QString Anonymous = QStringLiteral("anonymous");

bool Unreserved(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('.') || c == QLatin1Char('_') || c == QLatin1Char('~');
}

// Escapes ASCII characters outside the given set; other characters stay as typed.
QString Encode(const QString& text, const QString& alsoKept) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || Unreserved(c) || alsoKept.contains(c))
            out += c;
        else
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

bool HasControlCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    return false;
}

// The host text of a URL: between the scheme (or the start) and the path, after the
// user information.
QString AuthorityOf(const QString& url, qsizetype* start = nullptr, qsizetype* end = nullptr) {
    const qsizetype scheme = url.indexOf(QStringLiteral("://"));
    const qsizetype from = scheme < 0 ? 0 : scheme + 3;
    qsizetype to = url.indexOf(QLatin1Char('/'), from);
    if (to < 0) to = url.size();
    if (start) *start = from;
    if (end) *end = to;
    return url.mid(from, to - from);
}

} // namespace

QString EncodeURLPart(const QString& text, bool keepSlashes) {
    return Encode(text, keepSlashes ? QStringLiteral("/") : QString());
}

TComposedURL ComposeURL(const TURLParts& parts, TURLType type, bool implicitTls) {
    TComposedURL out;
    out.Host = parts.Host.trimmed();
    out.Folder = parts.Folder;
    out.FileName = parts.FileName;
    const qsizetype slash = out.Host.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        QString path = out.Host.mid(slash);
        out.Host.truncate(slash);
        out.PathMoved = true;
        if (out.FileName.isEmpty()) {
            const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
            out.FileName = path.mid(last + 1);
            path.truncate(last + 1);
        }
        out.Folder.prepend(path);
    }

    const bool ftps = implicitTls && type != TURLType::HTTP;
    QString url = type == TURLType::HTTP ? QStringLiteral("http://")
                  : ftps                 ? QStringLiteral("ftps://")
                                         : QStringLiteral("ftp://");
    const bool anonymous =
        type == TURLType::FTPAnonymous || (type == TURLType::HTTP && parts.User == Anonymous);
    if (!anonymous && !parts.User.isEmpty())
        url += EncodeURLPart(parts.User) + QLatin1Char(':') + EncodeURLPart(parts.Password) +
               QLatin1Char('@');

    // Characters that cannot stand in a host are escaped, which makes the URL unreadable
    // rather than letting "?" or "@" silently cut the host short.
    const bool ipv6 = out.Host.contains(QLatin1Char(':')) &&
                      QHostAddress(out.Host).protocol() == QAbstractSocket::IPv6Protocol;
    url += ipv6 ? QLatin1Char('[') + out.Host + QLatin1Char(']')
                : Encode(out.Host, QStringLiteral("[]:"));

    // Escaping the port likewise turns anything but digits into an unreadable URL.
    QString port = parts.Port.trimmed();
    if (type == TURLType::HTTP && port == QStringLiteral("21")) port = QStringLiteral("80");
    const QString defaultPort = type == TURLType::HTTP ? QStringLiteral("80")
                                : ftps                 ? QStringLiteral("990")
                                                       : QStringLiteral("21");
    if (!port.isEmpty() && port != defaultPort) url += QLatin1Char(':') + EncodeURLPart(port);

    // A folder always ends in '/': without it its last name would read back as a file.
    qsizetype lead = 0;
    while (lead < out.Folder.size() && out.Folder.at(lead) == QLatin1Char('/'))
        ++lead;
    QString folder = out.Folder.mid(lead);
    if (!out.Folder.isEmpty()) {
        url += QLatin1Char('/') + EncodeURLPart(folder, true);
        if (!url.endsWith(QLatin1Char('/'))) url += QLatin1Char('/');
    }
    if (!out.FileName.isEmpty()) {
        if (!url.endsWith(QLatin1Char('/'))) url += QLatin1Char('/');
        url += EncodeURLPart(out.FileName);
    }
    out.URL = url;
    return out;
}

QString URLScheme(const QString& url) {
    const QString text = url.trimmed();
    const qsizetype at = text.indexOf(QStringLiteral("://"));
    return at < 0 ? QStringLiteral("ftp") : text.left(at).toLower();
}

TURLType TypeOfURL(const QString& url, const QString& user) {
    if (URLScheme(url) == QStringLiteral("http")) return TURLType::HTTP;
    return user == Anonymous ? TURLType::FTPAnonymous : TURLType::FTP;
}

QString CheckURL(const QString& url, const QString& anonymousPassword, TSplitURL& parts,
                 bool& valid) {
    valid = SplitURL(url, anonymousPassword, parts);
    if (!valid) {
        const QString scheme = URLScheme(url);
        if (scheme == QStringLiteral("https"))
            return QStringLiteral("https:// is not supported: only ftp://, ftps:// and plain "
                                  "http:// URLs can be opened.");
        if (scheme != QStringLiteral("ftp") && scheme != QStringLiteral("ftps") &&
            scheme != QStringLiteral("http"))
            return QStringLiteral("%1:// is not supported: only ftp://, ftps:// and http:// URLs "
                                  "can be opened.")
                .arg(scheme);
        QString host = AuthorityOf(url.trimmed());
        host = host.mid(host.lastIndexOf(QLatin1Char('@')) + 1);
        if (host.isEmpty()) return {};
        return QStringLiteral("This URL cannot be read: check the host and the port (1 to "
                              "65535).");
    }
    for (const QString* part :
         {&parts.Host, &parts.User, &parts.Password, &parts.FolderPath, &parts.FileName})
        if (HasControlCharacter(*part)) return QStringLiteral("The URL holds a control character.");
    if (parts.FileName == QStringLiteral(".") || parts.FileName == QStringLiteral(".."))
        return QStringLiteral("\"%1\" cannot be a file name.").arg(parts.FileName);
    return {};
}

QString URLWithoutPassword(const QString& url) {
    qsizetype start = 0;
    qsizetype end = 0;
    AuthorityOf(url, &start, &end);
    // As in SplitURL: only the last '@' of the authority ends the user information.
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at < start) return url;
    const qsizetype colon = url.indexOf(QLatin1Char(':'), start);
    if (colon < 0 || colon > at) return url;
    return url.left(colon) + url.mid(at);
}

void AddToURLHistory(QStringList& history, const QString& url, int max) {
    const QString entry = URLWithoutPassword(url.trimmed());
    QStringList kept{entry};
    // Entries stored before may still hold passwords: they lose them too.
    for (const QString& old : history) {
        const QString clean = URLWithoutPassword(old);
        if (!kept.contains(clean)) kept << clean;
    }
    while (kept.size() > max)
        kept.removeLast();
    history = kept;
}
