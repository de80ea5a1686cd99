#include "listing/FtpUtils.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

template <typename S> S LinkNameT(const S& entry, const S& arrow) {
    const auto at = entry.indexOf(arrow);
    return at < 0 ? entry : entry.left(at);
}

template <typename S> S LinkTargetT(const S& entry, const S& arrow) {
    const auto at = entry.indexOf(arrow);
    return at < 0 ? S() : entry.mid(at + 4);
}

template <typename S> S ExtractFirstLineT(S& text) {
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != '\r' && text.at(end) != '\n')
        ++end;
    S line = text.left(end);
    qsizetype rest = end;
    if (rest < text.size()) {
        ++rest;
        if (rest < text.size() && text.at(rest) == '\n') ++rest;
    }
    text.remove(0, rest);
    return line;
}

template <typename S> bool StripLastFolderT(S& path) {
    if (path.size() < 2) return false;
    const auto sep = path.at(path.size() - 1);
    const auto before = path.lastIndexOf(sep, path.size() - 2);
    // "a/" has no folder above it that could stay a valid path.
    if (before < 0) return false;
    path.truncate(before + 1);
    return true;
}

} // namespace

QByteArray LinkName(const QByteArray& e) {
    return LinkNameT(e, QByteArray(" -> "));
}
QByteArray LinkTarget(const QByteArray& e) {
    return LinkTargetT(e, QByteArray(" -> "));
}
QString LinkName(const QString& e) {
    return LinkNameT(e, QStringLiteral(" -> "));
}
QString LinkTarget(const QString& e) {
    return LinkTargetT(e, QStringLiteral(" -> "));
}

QByteArray ExtractFirstLine(QByteArray& text) {
    return ExtractFirstLineT(text);
}
QString ExtractFirstLine(QString& text) {
    return ExtractFirstLineT(text);
}

void ReplaceChar(QString& text, QChar from, QChar to) {
    text.replace(from, to);
}

void AppendCharIfMissing(QString& text, QChar c) {
    if (!text.isEmpty() && !text.endsWith(c)) text += c;
}

void AppendCharIfMissing(QByteArray& text, char c) {
    if (!text.isEmpty() && !text.endsWith(c)) text += c;
}

bool StripLastFolder(QString& path) {
    return StripLastFolderT(path);
}
bool StripLastFolder(QByteArray& path) {
    return StripLastFolderT(path);
}

QString FormatThousands(const QString& digits) {
    return FormatThousands(digits, QLocale().groupSeparator().at(0));
}

QString FormatThousands(const QString& digits, QChar separator) {
    QString out;
    const qsizetype n = digits.size();
    out.reserve(n + n / 3);
    for (qsizetype i = 0; i < n; ++i) {
        // Groups of three counted from the right, up to 15 digits.
        const qsizetype fromRight = n - i;
        if (i > 0 && fromRight % 3 == 0 && fromRight <= 12) out += separator;
        out += digits.at(i);
    }
    return out;
}

bool MatchesMask(const QString& name, const QString& mask) {
    // Iterative wildcard match with backtracking to the last star.
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask.at(m) == QLatin1Char('*')) {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask.at(m) == QLatin1Char('?') ||
                                       mask.at(m).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask.at(m) == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

bool MatchesMaskList(const QString& name, const QStringList& masks) {
    if (masks.isEmpty() || masks.contains(QStringLiteral("*.*"))) return true;
    for (const QString& mask : masks)
        if (MatchesMask(name, mask)) return true;
    return false;
}

QByteArray ScrambleText(const QByteArray& text) {
    // The key is part of the stored site files' format: never change it.
    constexpr unsigned char Key = 0x5A;
    QByteArray out(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>((255 - static_cast<unsigned char>(text[i])) ^ Key);
    return out;
}

QString DisplayText(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) return QString::fromLatin1(bytes);
    return text;
}

QString NameText(const QByteArray& name) {
    return NameText(name, TNameCharset());
}

QString NameText(const QByteArray& name, const TNameCharset& charset) {
    const auto isControl = [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; };
    if (std::none_of(name.begin(), name.end(), isControl)) return charset.Decode(name);
    const QString text = charset.Decode(name);
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool NameBreaksCommand(const QByteArray& name) {
    return name.contains('\r') || name.contains('\n') || name.contains('\0');
}

bool SplitURL(const QString& url, const QString& anonymousPassword, TSplitURL& out) {
    QString full = url.trimmed();
    if (!full.contains(QStringLiteral("://"))) full.prepend(QStringLiteral("ftp://"));
    // A password may itself hold '@': only the last '@' of the authority ends the
    // user information.
    const qsizetype authorityStart = full.indexOf(QStringLiteral("://")) + 3;
    qsizetype authorityEnd = full.indexOf(QLatin1Char('/'), authorityStart);
    if (authorityEnd < 0) authorityEnd = full.size();
    const qsizetype lastAt = full.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    if (lastAt >= authorityStart) {
        for (qsizetype i = lastAt - 1; i >= authorityStart; --i)
            if (full.at(i) == QLatin1Char('@')) full.replace(i, 1, QStringLiteral("%40"));
    }
    const QUrl parsed(full, QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    // Only FTP, FTPS and plain HTTP are spoken: another scheme read as FTP would send
    // its log-in in clear to port 21 of a host that expects something else. Port 0
    // cannot be connected to.
    const bool ftps = scheme == QStringLiteral("ftps");
    const bool known = ftps || scheme == QStringLiteral("ftp") || scheme == QStringLiteral("http");
    if (!parsed.isValid() || !known || parsed.host().isEmpty() || parsed.port() == 0) {
        out = TSplitURL();
        return false;
    }
    out.Host = parsed.host(QUrl::FullyDecoded);
    out.Port = parsed.port(scheme == QStringLiteral("http") ? 80 : ftps ? 990 : 21);
    out.Encryption = ftps ? TEncryption::Implicit : TEncryption::None;
    out.User = parsed.userName(QUrl::FullyDecoded);
    out.Password = parsed.password(QUrl::FullyDecoded);
    QString path = parsed.path(QUrl::FullyDecoded);

    // A password that itself holds '@' may leave part of it in front of the host.
    const qsizetype at = out.Host.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        out.Password += QLatin1Char('@') + out.Host.left(at);
        out.Host = out.Host.mid(at + 1);
    }
    if (out.User.isEmpty()) {
        out.User = QStringLiteral("anonymous");
        out.Password = anonymousPassword;
    }
    if (path == QStringLiteral("//")) path = QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        out.FileName = path.mid(slash + 1);
        out.FolderPath = path.left(slash + 1);
    } else {
        out.FileName.clear();
        out.FolderPath = path;
    }
    return true;
}

namespace {
std::mutex gTempLock;
std::vector<QString> gTempFiles;
} // namespace

QString TempFolder() {
    QString folder = QDir::tempPath();
    AppendCharIfMissing(folder, QLatin1Char('/'));
    return folder;
}

void AddTemporaryFile(const QString& path) {
    std::lock_guard<std::mutex> lock(gTempLock);
    gTempFiles.push_back(path);
}

void DeleteTemporaryFiles() {
    std::lock_guard<std::mutex> lock(gTempLock);
    for (auto it = gTempFiles.rbegin(); it != gTempFiles.rend(); ++it)
        QFile::remove(*it);
    gTempFiles.clear();
}
