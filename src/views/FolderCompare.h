#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// One entry of a folder as the compare sees it.
struct TCompareEntry {
    QString Name; // a link's own name, not its target
    int64_t Size = 0;
    double Date = 0; // day number, as both panes give it
    // Folders and links count by their presence alone: a folder's size says nothing of
    // its contents, and a listing gives a link's own size and date, not its target's.
    bool FolderOrLink = false;
};

struct TCompareOptions {
    bool IgnoreSize = false;
    bool IgnoreDate = true;
};

// What to select on each side, as positions in the lists given.
struct TCompareResult {
    QList<int> Local;
    QList<int> Host;
};

// The entries of each side that the other lacks or holds smaller (unless sizes are
// ignored) or else older (unless dates are ignored). Entries pair by name: the same name
// first; else the one name that differs only in case, when exactly one does. Dates are
// compared to the minute, the finest both sides give. Linear in the entries.
TCompareResult CompareFolders(const QList<TCompareEntry>& local, const QList<TCompareEntry>& host,
                              const TCompareOptions& options);
