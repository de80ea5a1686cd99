#include "views/FolderCompare.h"

#include <QHash>

#include <cmath>

namespace {

// The entries of one side by their case-folded names, those that share one chained, so
// that a name is found with one hash lookup whether its case matches or not.
class TNameIndex {
public:
    explicit TNameIndex(const QList<TCompareEntry>& entries) : Entries_(entries) {
        const qsizetype count = entries.size();
        Folded_.resize(count);
        First_.reserve(count);
        Next_.fill(-1, count);
        // Backwards, so that each chain runs in the list's order.
        for (qsizetype i = count - 1; i >= 0; --i) {
            Folded_[i] = entries[i].Name.toCaseFolded();
            int& first = First_[Folded_[i]];
            Next_[i] = first ? first - 1 : -1;
            first = static_cast<int>(i) + 1; // 0 is the new slot's value: none yet
        }
    }
    const QString& Folded(int i) const { return Folded_[i]; }
    // The entry of the name: the same name first, else the one entry whose name differs
    // only in case, when no other does too; -1 without one.
    int Find(const QString& name, const QString& folded) const {
        const int first = First_.value(folded) - 1;
        if (first < 0) return -1;
        for (int at = first; at >= 0; at = Next_[at])
            if (Entries_[at].Name == name) return at;
        return Next_[first] < 0 ? first : -1;
    }

private:
    const QList<TCompareEntry>& Entries_;
    QList<QString> Folded_;
    QHash<QString, int> First_; // one past the first entry of each folded name
    QList<int> Next_;
};

qint64 Minute(double date) {
    return std::llround(date * 24 * 60);
}

// Whether a, beside its counterpart b, is to be selected.
bool Differs(const TCompareEntry& a, const TCompareEntry* b, const TCompareOptions& options) {
    if (!b) return true;
    if (a.FolderOrLink || b->FolderOrLink) return false;
    if (!options.IgnoreSize && a.Size > b->Size) return true;
    return !options.IgnoreDate && Minute(a.Date) > Minute(b->Date);
}

QList<int> Mark(const QList<TCompareEntry>& side, const TNameIndex& sideIndex,
                const QList<TCompareEntry>& other, const TNameIndex& otherIndex,
                const TCompareOptions& options) {
    QList<int> rows;
    for (int i = 0; i < side.size(); ++i) {
        const int at = otherIndex.Find(side[i].Name, sideIndex.Folded(i));
        if (Differs(side[i], at < 0 ? nullptr : &other[at], options)) rows.append(i);
    }
    return rows;
}

} // namespace

TCompareResult CompareFolders(const QList<TCompareEntry>& local, const QList<TCompareEntry>& host,
                              const TCompareOptions& options) {
    const TNameIndex localIndex(local);
    const TNameIndex hostIndex(host);
    return {Mark(local, localIndex, host, hostIndex, options),
            Mark(host, hostIndex, local, localIndex, options)};
}
