#include "settings/SiteStoredForms.h"

#include "listing/FtpUtils.h"

namespace {

bool NeedsQuotes(const QString& line) {
    for (QChar c : line) {
        if (c.unicode() < 33 || c == QLatin1Char('"') || c == QLatin1Char(',')) return true;
    }
    return false;
}

} // namespace

QString NotesToStoredForm(const QStringList& notes) {
    // Lines given with breaks inside are split, so that every stored line is one line.
    QStringList lines{QString()};
    for (const QString& note : notes) {
        QString text = note;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        text.remove(QChar(0));
        lines += text.split(QLatin1Char('\n'));
    }
    if (lines.size() == 1) return QStringLiteral("\"\"");
    QStringList pieces;
    for (const QString& line : lines) {
        if (NeedsQuotes(line)) {
            QString quoted = line;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            pieces.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
        } else {
            pieces.append(line);
        }
    }
    return pieces.join(QLatin1Char(','));
}

QStringList NotesFromStoredForm(const QString& value) {
    QStringList lines;
    if (value.isEmpty()) return lines;
    // The first piece is the empty line written in front of the notes.
    qsizetype pos = value.startsWith(QLatin1Char(',')) ? 1 : 0;
    if (pos == 0 && value == QLatin1String("\"\"")) return lines;
    for (;;) {
        QString line;
        if (pos < value.size() && value[pos] == QLatin1Char('"')) {
            ++pos;
            while (pos < value.size()) {
                if (value[pos] == QLatin1Char('"')) {
                    if (pos + 1 < value.size() && value[pos + 1] == QLatin1Char('"')) {
                        line += QLatin1Char('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                line += value[pos++];
            }
            // Text between a closing quote and the next comma is kept, as written.
            const qsizetype comma = value.indexOf(QLatin1Char(','), pos);
            line += value.mid(pos, comma < 0 ? -1 : comma - pos);
            pos = comma < 0 ? value.size() : comma;
        } else {
            const qsizetype comma = value.indexOf(QLatin1Char(','), pos);
            line = value.mid(pos, comma < 0 ? -1 : comma - pos);
            pos = comma < 0 ? value.size() : comma;
        }
        lines.append(line);
        if (pos >= value.size()) break;
        ++pos; // the comma
    }
    return lines;
}

namespace {

bool StorableOnOneLine(const QByteArray& scrambled) {
    return !scrambled.contains('\r') && !scrambled.contains('\n') && !scrambled.contains('\0');
}

} // namespace

std::optional<QByteArray> StoredPassword(const QString& password) {
    const QByteArray utf8 = ScrambleText(password.toUtf8());
    if (StorableOnOneLine(utf8)) return utf8;
    const QByteArray latin1 = password.toLatin1();
    if (QString::fromLatin1(latin1) == password && DisplayText(latin1) == password) {
        const QByteArray scrambled = ScrambleText(latin1);
        if (StorableOnOneLine(scrambled)) return scrambled;
    }
    return std::nullopt;
}

QString PasswordFromStored(const QByteArray& stored) {
    return DisplayText(ScrambleText(stored));
}

QByteArray PasswordHexForm(const QString& password) {
    return ScrambleText(password.toUtf8()).toHex();
}

QString PasswordFromHexForm(const QByteArray& hex) {
    return DisplayText(ScrambleText(QByteArray::fromHex(hex)));
}
