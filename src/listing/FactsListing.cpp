// MLSD lines: facts separated by ";", a blank, then the name exactly as the server holds it.
#include "listing/FactsListing.h"

#include <QDateTime>

namespace {

bool EqualsFold(QByteArrayView a, QByteArrayView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool StartsWithFold(QByteArrayView text, QByteArrayView prefix) {
    return text.size() >= prefix.size() && EqualsFold(text.first(prefix.size()), prefix);
}

// "YYYYMMDDHHMMSS" with optional fractional seconds, in UTC; 0 when it is anything else.
// The day number is local time, as the files on this machine and their stamps count it.
double ModifyDate(QByteArrayView text) {
    if (text.size() < 14) return 0;
    if (text.size() > 14) {
        const QByteArrayView fraction = text.sliced(14);
        if (fraction.size() < 2 || fraction[0] != '.' || DigitsValue(fraction.sliced(1), 18) < 0)
            return 0;
    }
    const int64_t digits = DigitsValue(text.first(14), 18);
    if (digits < 0) return 0;
    const auto part = [&](int from, int length) {
        return int(DigitsValue(text.sliced(from, length), 18));
    };
    const QDate date(part(0, 4), part(4, 2), part(6, 2));
    // A leap second counts as the last second of its minute.
    const int second = part(12, 2);
    const QTime time(part(8, 2), part(10, 2), second == 60 ? 59 : second);
    if (!date.isValid() || !time.isValid()) return 0;
    const QDateTime local = QDateTime(date, time, Qt::UTC).toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    if (!d.isValid() || d.year() < 1 || d.year() > 9999) return 0;
    return SafeEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), d.year());
}

// "0755", "644": the nine permission bits; -1 when the text is not octal.
int UnixMode(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 7) return -1;
    int mode = 0;
    for (const char c : text) {
        if (c < '0' || c > '7') return -1;
        mode = mode * 8 + (c - '0');
    }
    return mode & 0777;
}

uint16_t ModeAttributes(int mode) {
    uint16_t attributes = 0;
    // Mode bit 8 (owner read) down to bit 0 (others execute), as the attributes order them.
    for (int i = 0; i < 9; ++i)
        if (mode & (0400 >> i)) attributes |= uint16_t(raOwnerRead << i);
    return attributes;
}

// What the user may do, as the owner's bits: all a listing without modes can tell.
uint16_t PermAttributes(QByteArrayView perm, bool folder) {
    uint16_t attributes = 0;
    for (char c : perm) {
        c = char(c | 0x20);
        if (folder) {
            if (c == 'l') attributes |= raOwnerRead;
            if (c == 'c' || c == 'm' || c == 'p') attributes |= raOwnerWrite;
            if (c == 'e') attributes |= raOwnerExecute;
        } else {
            if (c == 'r') attributes |= raOwnerRead;
            if (c == 'w' || c == 'a') attributes |= raOwnerWrite;
        }
    }
    return attributes;
}

bool HasLineEnd(QByteArrayView text) {
    for (const char c : text)
        if (c == '\0' || c == '\r' || c == '\n') return true;
    return false;
}

bool SafeName(QByteArrayView name) {
    if (name.isEmpty() || name == QByteArrayView(".") || name == QByteArrayView("..")) return false;
    return !name.contains('/') && !HasLineEnd(name);
}

} // namespace

bool ParseFactsLine(QByteArrayView line, TRemoteListEntry& out) {
    const qsizetype blank = line.indexOf(' ');
    if (blank <= 0) return false;
    const QByteArrayView facts = line.first(blank);
    const QByteArrayView name = line.sliced(blank + 1);
    // A line end in the facts (a link's target) is as broken as one in the name.
    if (!SafeName(name) || HasLineEnd(facts)) return false;

    enum { File, Folder, Link } kind = File;
    QByteArrayView target, size, modify, perm;
    int mode = -1;
    qsizetype from = 0;
    while (from < facts.size()) {
        qsizetype end = facts.indexOf(';', from);
        if (end < 0) end = facts.size();
        const QByteArrayView fact = facts.sliced(from, end - from);
        from = end + 1;
        if (fact.isEmpty()) continue;
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0) return false;
        const QByteArrayView key = fact.first(equals);
        const QByteArrayView value = fact.sliced(equals + 1);
        if (EqualsFold(key, "type")) {
            if (EqualsFold(value, "file")) {
                kind = File;
            } else if (EqualsFold(value, "dir")) {
                kind = Folder;
            } else if (StartsWithFold(value, "OS.unix=slink") ||
                       StartsWithFold(value, "OS.unix=symlink")) {
                kind = Link;
                const qsizetype colon = value.indexOf(':');
                target = colon < 0 ? QByteArrayView() : value.sliced(colon + 1);
            } else {
                // cdir, pdir, devices, sockets and kinds of other systems.
                return false;
            }
        } else if (EqualsFold(key, "size")) {
            size = value;
        } else if (EqualsFold(key, "modify")) {
            modify = value;
        } else if (EqualsFold(key, "perm")) {
            perm = value;
        } else if (EqualsFold(key, "unix.mode")) {
            mode = UnixMode(value);
        }
    }

    uint16_t attributes = kind == Folder ? raFolder : kind == Link ? raLink : 0;
    attributes |= mode >= 0 ? ModeAttributes(mode) : PermAttributes(perm, kind == Folder);
    // Folders count 0 bytes, as in the other listings; "sizd" would count their entries.
    const int64_t bytes = kind == Folder ? 0 : qMax<int64_t>(DigitsValue(size, 18), 0);
    out.Name = name.toByteArray();
    if (!target.isEmpty()) out.Name += " -> " + target.toByteArray();
    out.Item = TRemoteItem{attributes, bytes, ModifyDate(modify)};
    return true;
}

void ParseFactsListingLine(TListingParse& parse) {
    TRemoteListEntry entry;
    const QByteArrayView line = ReadListingLine(parse);
    if (ParseFactsLine(line, entry)) {
        parse.Report(entry.Name, entry.Item.Attributes, entry.Item.Date, entry.Item.Size);
        return;
    }
    // The folder itself and its parent are no entries, yet nothing unknown either.
    const QByteArray facts = line.first(qMax<qsizetype>(line.indexOf(' '), 0)).toByteArray();
    parse.Understood =
        facts.toLower().contains("type=cdir") || facts.toLower().contains("type=pdir");
}

TRemoteItemList ParseFactsListing(const QByteArray& text, const QString& host) {
    TRemoteItemList list;
    TListingTarget target{&list, host};
    TListingParse parse(text, QDate::currentDate(), AddListingEntry, &target);
    while (!parse.AtEnd())
        ParseFactsListingLine(parse);
    return list;
}
