#include "ListingCaseFile.h"

#include "listing/ListingParser.h"

#include <QFile>
#include <QFileInfo>

QByteArray Unescape(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case 'x':
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString EscapeName(const QByteArray& name) {
    QString out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || u >= 0x7F)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    // Trailing blanks are part of names; make them visible.
    qsizetype blanks = 0;
    while (blanks < out.size() && out[out.size() - 1 - blanks] == QLatin1Char(' '))
        ++blanks;
    out.chop(blanks);
    return out + QStringLiteral("\\x20").repeated(blanks);
}

QString ModeText(uint16_t attributes) {
    QString mode = (attributes & raFolder) ? QStringLiteral("d")
                   : (attributes & raLink) ? QStringLiteral("l")
                                           : QStringLiteral("-");
    const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        mode += (attributes & (raOwnerRead << i)) ? QLatin1Char(letters[i]) : QLatin1Char('-');
    return mode;
}

QString EntryText(const TRemoteListEntry& entry) {
    return QStringLiteral("%1 | %2 | %3 | %4")
        .arg(EscapeName(entry.Name))
        .arg(entry.Item.Size)
        .arg(ModeText(entry.Item.Attributes))
        .arg(QString::fromLatin1(DayNumberText(entry.Item.Date)));
}

namespace {

// "name | size | mode | date": the name may hold anything, so split from the right.
QString NormalisedExpectation(const QByteArray& text) {
    QList<QByteArray> fields;
    QByteArray rest = text;
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = rest.lastIndexOf(" | ");
        if (at < 0) return QStringLiteral("malformed expectation: ") + QString::fromUtf8(text);
        fields.prepend(rest.mid(at + 3).trimmed());
        rest.truncate(at);
    }
    return EscapeName(Unescape(rest)) + QStringLiteral(" | ") +
           QString::fromUtf8(fields.join(" | "));
}

TListingCase Broken(const QString& source, const QString& problem) {
    TListingCase c;
    c.Name = problem;
    c.Source = source;
    c.Expected = {QStringLiteral("(unreadable case file)")};
    return c;
}

} // namespace

QList<TListingCase> ReadListingCases(const QString& path) {
    QList<TListingCase> cases;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Broken(path, QStringLiteral("cannot open ") + path)};
    const QString fileName = QFileInfo(path).fileName();
    int serverType = 11;
    QDate today = QDate(2024, 6, 15);
    int lineNumber = 0;
    for (QByteArray line : file.readAll().split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r')) line.chop(1);
        const QString source = QStringLiteral("%1:%2").arg(fileName).arg(lineNumber);
        TListingCase* current = cases.isEmpty() ? nullptr : &cases.last();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith("== ")) {
            cases.append(
                TListingCase{QString::fromUtf8(line.mid(3)), serverType, today, {}, {}, source});
        } else if (line.startsWith("server ")) {
            (current ? current->ServerType : serverType) = line.mid(7).trimmed().toInt();
        } else if (line.startsWith("today ")) {
            const QDate d = QDate::fromString(QString::fromLatin1(line.mid(6).trimmed()),
                                              QStringLiteral("yyyy-MM-dd"));
            (current ? current->Today : today) = d;
        } else if (current && line == "<=") {
            continue;
        } else if (current && line.startsWith("<= ")) {
            current->Listing += Unescape(line.mid(3));
        } else if (current && (line == "<" || line.startsWith("< "))) {
            current->Listing += Unescape(line.mid(2)) + '\n';
        } else if (current && line.startsWith("> ")) {
            current->Expected += NormalisedExpectation(line.mid(2));
        } else {
            return {Broken(source, QStringLiteral("malformed line ") + source)};
        }
    }
    return cases;
}
