#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// How a server's names read as text: UTF-8 when the bytes are valid UTF-8, else the site's
// legacy character set when it has one (any set Qt knows, ICU's included: Shift_JIS, GBK,
// Big5, EUC-KR, windows-1251, ...), else Latin-1. Only the text shown is decoded: the
// bytes stay what goes back to the server.
class TNameCharset {
public:
    // Automatic without a legacy set.
    TNameCharset() = default;
    // An empty or unknown name gives the automatic reading without a legacy set.
    explicit TNameCharset(const QString& legacy);

    // False when a legacy set was named that this system cannot decode.
    bool IsKnown() const { return Known_; }
    // The legacy set's name; empty when automatic.
    QString Name() const { return QString::fromLatin1(Legacy_); }
    QString Decode(QByteArrayView bytes) const;
    // A name the user typed, as bytes for the server: in the legacy set when one is chosen
    // and it can write the name, else UTF-8.
    QByteArray Encode(const QString& text) const;

    // Whether this system can decode the named set.
    static bool Exists(const QString& name);
    // Sets offered for a site, most used first; others can be typed.
    static QStringList CommonNames();

private:
    QByteArray Legacy_;
    bool Known_ = true;
};
