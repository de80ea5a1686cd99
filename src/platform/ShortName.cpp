#include "platform/ShortName.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

bool Allowed83(QChar c) {
    if (c.unicode() >= 128 || c.unicode() < 33) return false;
    return !QStringLiteral("\"*+,/:;<=>?[\\]|.").contains(c);
}

// Keeps the allowed characters, drops blanks and dots, turns the rest into "_".
QString Clean(const QString& part, bool& lossy) {
    QString out;
    for (QChar c : part) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('.')) {
            lossy = true;
            continue;
        }
        if (Allowed83(c)) {
            out += c.toUpper();
        } else {
            out += QLatin1Char('_');
            lossy = true;
        }
    }
    return out;
}

struct TAliasParts {
    QString Base;
    QString Extension;
    bool NeedsTail = false;
};

TAliasParts Split(const QString& name) {
    TAliasParts parts;
    // Leading dots belong to no extension (".profile" has the base "PROFILE").
    qsizetype start = 0;
    while (start < name.size() && name[start] == QLatin1Char('.'))
        ++start;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const bool hasExtension = dot > start;
    bool lossy = start > 0;
    parts.Base = Clean(name.mid(start, hasExtension ? dot - start : -1), lossy);
    parts.Extension = hasExtension ? Clean(name.mid(dot + 1), lossy) : QString();
    if (parts.Extension.size() > 3) {
        parts.Extension.truncate(3);
        lossy = true;
    }
    if (parts.Base.isEmpty()) {
        parts.Base = QStringLiteral("_");
        lossy = true;
    }
    // A name that only differs from its alias by case needs no tail.
    const bool caseOnly = !lossy && parts.Base.size() <= 8;
    parts.NeedsTail = !caseOnly;
    return parts;
}

QString Join(const QString& base, const QString& extension) {
    return extension.isEmpty() ? base : base + QLatin1Char('.') + extension;
}

QString WithTail(const TAliasParts& parts, int number) {
    const QString tail = QLatin1Char('~') + QString::number(number);
    return Join(parts.Base.left(8 - tail.size()) + tail, parts.Extension);
}

} // namespace

QString ShortFileName(const QString& name, const QStringList& siblings) {
    const TAliasParts parts = Split(name);
    if (!parts.NeedsTail) return Join(parts.Base, parts.Extension);
    // Number the names that would share this alias stem, in a stable order.
    const QString stem = WithTail(parts, 1);
    QStringList sharing{name};
    for (const QString& other : siblings) {
        if (other == name || sharing.contains(other)) continue;
        const TAliasParts otherParts = Split(other);
        if (otherParts.NeedsTail && WithTail(otherParts, 1) == stem) sharing.append(other);
    }
    std::sort(sharing.begin(), sharing.end());
    return WithTail(parts, static_cast<int>(sharing.indexOf(name)) + 1);
}

QString ShortPathName(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QFileInfo info(trimmed);
    if (!info.exists()) return QString();
    const QStringList siblings =
        info.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QString folder = trimmed.left(trimmed.size() - info.fileName().size());
    return folder + ShortFileName(info.fileName(), siblings);
}
