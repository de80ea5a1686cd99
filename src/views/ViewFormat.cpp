#include "views/ViewFormat.h"

#include "listing/FtpUtils.h"

#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// Three significant digits, switching to an exponent ("1.03E3") once the value reaches
// 1000 in its unit, as the status bar has always shown it. Rounded up, as the Size
// column rounds up to whole kilobytes, so that the same bytes never read 489KB in the
// list and 488KB in the status bar.
QString ThreeDigits(double value) {
    if (value > 0) {
        const double scale = std::pow(10.0, 2 - std::floor(std::log10(value)));
        // The margin keeps a value that is exact in three digits (1.5) from rising a step
        // through the error of the division that made it.
        value = std::ceil(value * scale * (1 - 1e-12)) / scale;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3g", value);
    QString text = QString::fromLatin1(buffer);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        QString exponent = text.mid(e + 1);
        const bool negative = exponent.startsWith(QLatin1Char('-'));
        exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = text.left(e) + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) +
               exponent;
    }
    return text;
}
} // namespace

QString FormatSize(int64_t bytes) {
    constexpr double KB = 1024.0, MB = KB * 1024, GB = MB * 1024, TB = GB * 1024;
    if (bytes == 1) return QStringLiteral("1 Byte");
    if (bytes < 1024) return FormatThousands(QString::number(bytes)) + QStringLiteral(" Bytes");
    const double size = static_cast<double>(bytes);
    if (size < MB) return ThreeDigits(size / KB) + QStringLiteral("KB");
    if (size < GB) return ThreeDigits(size / MB) + QStringLiteral("MB");
    if (size < TB) return ThreeDigits(size / GB) + QStringLiteral("GB");
    return ThreeDigits(size / TB) + QStringLiteral("TB");
}

QString KilobyteText(int64_t bytes) {
    const int64_t kb = bytes <= 0 ? 0 : bytes / 1024 + (bytes % 1024 ? 1 : 0);
    return FormatThousands(QString::number(kb)) + QStringLiteral("KB");
}

QString ModifiedText(const QDateTime& time) {
    static const QString format = [] {
        QString f = QLocale().dateTimeFormat(QLocale::ShortFormat);
        f.remove(QStringLiteral(":ss"));
        return f;
    }();
    return QLocale().toString(time, format);
}

QString FreeSpaceText(int64_t bytes) {
    static const char* const Units[] = {"Bytes", "KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(std::max<int64_t>(bytes, 0));
    int unit = 0;
    while (value >= 1000 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    // One decimal below 100 in the unit; whole numbers above, where it adds nothing.
    const QString number = unit > 0 && value < 100
                               ? QString::number(std::floor(value * 10) / 10, 'f', 1)
                               : QString::number(std::floor(value), 'f', 0);
    return number + QLatin1Char(' ') + QLatin1String(Units[unit]) + QStringLiteral(" free");
}

QString ExtensionTypeText(const QString& extension) {
    return extension.isEmpty() ? QStringLiteral("File")
                               : extension.toUpper() + QStringLiteral(" File");
}

QString FileExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

QString FileTypeKey(const QString& name) {
    const QString trimmed = name.trimmed();
    const QString suffix = FileExtension(trimmed).toLower();
    // Names without an extension can still match a pattern ("Makefile"): looked up whole.
    return suffix.isEmpty() ? QLatin1Char('/') + trimmed : suffix;
}

QMimeType FileMimeType(const QString& key) {
    // By name only: the file need not exist here (a remote one never does).
    static const QMimeDatabase mimes;
    return mimes.mimeTypeForFile(key.startsWith(QLatin1Char('/')) ? key.mid(1)
                                                                  : QStringLiteral("x.") + key,
                                 QMimeDatabase::MatchExtension);
}

QString FileTypeText(const QString& name) {
    const QString key = FileTypeKey(name);
    thread_local QHash<QString, QString> cache;
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    const QMimeType type = FileMimeType(key);
    const QString text = type.isDefault()
                             ? ExtensionTypeText(key.startsWith(QLatin1Char('/')) ? QString() : key)
                             : type.comment();
    cache.insert(key, text);
    return text;
}

QString PropertiesSizeText(int64_t bytes) {
    QString shortSize;
    if (bytes > 1048576)
        shortSize = QString::number(bytes / 1048576) + QStringLiteral("MB");
    else if (bytes > 1024)
        shortSize = QString::number(bytes / 1024) + QStringLiteral("KB");
    else
        shortSize = QString::number(bytes);
    return QStringLiteral("%1 (%2 Bytes)").arg(shortSize).arg(bytes);
}

QString ComposeItemURL(const QString& host, int port, const QString& user, const QString& password,
                       const QByteArray& path) {
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host);
    if (port != 21 && port > 0) url.setPort(port);
    if (user.compare(QLatin1String("anonymous"), Qt::CaseInsensitive) != 0 && !user.isEmpty()) {
        url.setUserName(user);
        url.setPassword(password);
    }
    // VMS ("DISK:[A]B") and NT ("\\data\\x") paths get the slash a URL path needs.
    QByteArray raw = path.startsWith('/') ? path : "/" + path;
    url.setPath(QString::fromLatin1(raw.toPercentEncoding("/")), QUrl::TolerantMode);
    return url.toString(QUrl::FullyEncoded);
}

QString ItemURLForLog(const QString& url) {
    return QUrl(url).toString(QUrl::RemovePassword | QUrl::FullyEncoded);
}

double DayNumberFromDateTime(const QDateTime& time) {
    if (!time.isValid()) return 0;
    const QDateTime local = time.toLocalTime();
    static const QDate epoch(1899, 12, 30);
    const QTime clock = local.time();
    return static_cast<double>(epoch.daysTo(local.date())) +
           (clock.hour() * 60 + clock.minute()) / 1440.0;
}

QDateTime DateTimeFromDayNumber(double date) {
    static const QDate epoch(1899, 12, 30);
    const qint64 days = static_cast<qint64>(std::floor(date));
    const int minutes = static_cast<int>(std::lround((date - std::floor(date)) * 1440.0));
    return QDateTime(epoch.addDays(days), QTime(0, 0)).addSecs(minutes * 60);
}
