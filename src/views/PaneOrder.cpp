#include "views/PaneOrder.h"

int CompareNames(const QString& a, const QString& b) {
    const int result = a.compare(b, Qt::CaseInsensitive);
    return result != 0 ? result : a.compare(b);
}

bool PaneRowBefore(const TPaneRow& a, const TPaneRow& b, int column, bool descending) {
    if (a.Folder != b.Folder) return a.Folder;
    const auto compare = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    int order = 0;
    if (column == pcModified)
        order = compare(a.Date, b.Date);
    else if (!a.Folder && column == pcSize)
        order = compare(a.Size, b.Size);
    else if (!a.Folder && column == pcType)
        order = a.Type.compare(b.Type, Qt::CaseInsensitive);
    if (order == 0) order = CompareNames(a.Name, b.Name);
    return descending ? order > 0 : order < 0;
}
