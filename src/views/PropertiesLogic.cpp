#include "views/PropertiesLogic.h"

#include "listing/ListingParser.h"
#include "listing/RemoteItem.h"
#include "views/ViewFormat.h"

#include <QDateTime>
#include <QLocale>

QString PropertiesDateText(double date) {
    const TDayNumberParts p = SplitDayNumber(date);
    const QDateTime time(QDate(p.Year, p.Month, p.Day), QTime(p.Hour, p.Minute));
    const QLocale locale;
    return locale.toString(time.date(), QLocale::LongFormat) + QStringLiteral(" ") +
           locale.toString(time.time(), QLocale::ShortFormat);
}

QString PropertiesLocationText(const QString& folder, QChar separator) {
    QString location = folder;
    if (location.endsWith(separator)) location.chop(1);
    return location.isEmpty() ? QStringLiteral("(Server Root)") : location;
}

TPropertiesTexts PropertiesTexts(const QList<TPropertiesItem>& items, const QString& folder,
                                 QChar separator) {
    TPropertiesTexts texts;
    if (items.isEmpty()) return texts;
    texts.Location = PropertiesLocationText(folder, separator);
    const TPropertiesItem& first = items.first();
    if (items.size() == 1) {
        texts.Caption = first.Name + QStringLiteral(" Properties");
        texts.Name = first.Name;
        texts.Type = first.TypeText;
        texts.Size = PropertiesSizeText(first.Size);
        texts.Date = PropertiesDateText(first.Date);
        return texts;
    }
    texts.Caption = first.Name + QStringLiteral(",... Properties");
    int files = 0;
    int folders = 0;
    int64_t size = 0;
    texts.Type = first.TypeText;
    for (const TPropertiesItem& item : items) {
        (item.IsFolder ? folders : files) += 1;
        size += item.Size;
        if (item.TypeText != first.TypeText) texts.Type = QStringLiteral("Multiple Types");
    }
    texts.Name = QStringLiteral("%1 Files, %2 Folders").arg(files).arg(folders);
    texts.Size = PropertiesSizeText(size);
    texts.Date = QStringLiteral("Multiple Dates");
    return texts;
}

bool PermissionsKnown(const QList<TPropertiesItem>& items) {
    for (const TPropertiesItem& item : items) {
        if (!(item.Attributes & raPermissionMask)) return false;
    }
    return !items.isEmpty();
}

TPermissionBoxes InitialPermissionBoxes(const QList<TPropertiesItem>& items) {
    if (items.isEmpty()) return {};
    uint16_t all = raPermissionMask;
    uint16_t any = 0;
    for (const TPropertiesItem& item : items) {
        all &= item.Attributes;
        any |= item.Attributes;
    }
    any &= raPermissionMask;
    return {all, static_cast<uint16_t>(any & ~all)};
}

uint16_t ChangedPermissions(const TPermissionBoxes& initial, const TPermissionBoxes& now) {
    uint16_t changed = 0;
    for (uint16_t bit = raOwnerRead; bit <= raOthersExecute; bit = uint16_t(bit << 1)) {
        if (now.Partial & bit) continue;
        // A box leaves the half-checked state only by the user's hand.
        if ((initial.Partial & bit) || bool(initial.Checked & bit) != bool(now.Checked & bit))
            changed |= bit;
    }
    return changed;
}

QList<TAttributeChange> NewAttributes(const QList<TPropertiesItem>& items, uint16_t changed,
                                      uint16_t chosen) {
    changed &= raPermissionMask;
    QList<TAttributeChange> result;
    for (int i = 0; i < items.size(); ++i) {
        const uint16_t old = items[i].Attributes;
        const uint16_t next = uint16_t((old & ~changed) | (chosen & changed));
        if (next != old) result.append({i, next});
    }
    return result;
}
