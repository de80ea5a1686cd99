#include "listing/NameCharset.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

bool IsAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

TNameCharset::TNameCharset(const QString& legacy) {
    if (legacy.trimmed().isEmpty()) return;
    Known_ = Exists(legacy);
    if (Known_) Legacy_ = legacy.trimmed().toLatin1();
}

bool TNameCharset::Exists(const QString& name) {
    const QByteArray latin = name.trimmed().toLatin1();
    return !latin.isEmpty() && QStringDecoder(latin.constData()).isValid();
}

QString TNameCharset::Decode(QByteArrayView bytes) const {
    if (IsAscii(bytes)) return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    if (!Legacy_.isEmpty()) {
        // A decoder keeps state between calls: each name gets its own.
        QStringDecoder legacy(Legacy_.constData(), QStringDecoder::Flag::Stateless);
        text = legacy(bytes);
        if (legacy.isValid() && !legacy.hasError()) return text;
    }
    return QString::fromLatin1(bytes);
}

QByteArray TNameCharset::Encode(const QString& text) const {
    if (!Legacy_.isEmpty()) {
        QStringEncoder legacy(Legacy_.constData(), QStringEncoder::Flag::Stateless);
        const QByteArray bytes = legacy(text);
        if (legacy.isValid() && !legacy.hasError()) return bytes;
    }
    return text.toUtf8();
}

QStringList TNameCharset::CommonNames() {
    static const char* const names[] = {
        "Shift_JIS",  "EUC-JP",       "GBK",          "GB18030",      "Big5",
        "EUC-KR",     "windows-1251", "KOI8-R",       "windows-1250", "windows-1252",
        "ISO-8859-2", "ISO-8859-5",   "ISO-8859-7",   "windows-1253", "windows-1254",
        "ISO-8859-9", "windows-1255", "windows-1256", "windows-874",  "windows-1258",
        "IBM437",     "IBM850",       "IBM866"};
    QStringList out;
    for (const char* name : names)
        if (Exists(QLatin1String(name))) out << QLatin1String(name);
    return out;
}
