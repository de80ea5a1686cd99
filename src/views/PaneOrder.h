#pragma once

#include <QString>

#include <cstdint>

// One row of a pane as the sort sees it, the same for the local disk and a server.
struct TPaneRow {
    bool Folder = false;
    QString Name;
    int64_t Size = 0;
    double Date = 0; // any number that grows with the time
    QString Type;
};

// The columns both panes share, in their order.
enum TPaneColumn { pcName, pcSize, pcType, pcModified };

// Names without regard to case, then with it, so that "a" and "A" keep one order.
int CompareNames(const QString& a, const QString& b);

// Whether a comes before b when sorted by the column: folders first whichever way the
// list is sorted; then the column (folders have no size or type, so their names decide);
// then the name.
bool PaneRowBefore(const TPaneRow& a, const TPaneRow& b, int column, bool descending);
