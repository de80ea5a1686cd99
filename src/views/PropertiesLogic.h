#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// What the properties window shows and sends, without the window: the texts for the
// selected items and the new attribute bits of each item after the user's changes.

// One selected item as the window sees it.
struct TPropertiesItem {
    QString Name;
    QString TypeText;
    bool IsFolder = false;
    int64_t Size = 0;
    double Date = 0;         // day number
    uint16_t Attributes = 0; // TRemoteAttribute bits
};

struct TPropertiesTexts {
    QString Caption;
    QString Name; // the item's name, or "%d Files, %d Folders"
    QString Type;
    QString Location;
    QString Size;
    QString Date;
};

// A day number as the window shows it (the locale's long date and short time).
QString PropertiesDateText(double date);
// The folder without its trailing separator; "(Server Root)" when nothing is left.
QString PropertiesLocationText(const QString& folder, QChar separator);
TPropertiesTexts PropertiesTexts(const QList<TPropertiesItem>& items, const QString& folder,
                                 QChar separator);

// Permission boxes as bit sets: the boxes that are checked, the boxes that are partially
// checked (the items differ and the user left the box alone).
struct TPermissionBoxes {
    uint16_t Checked = 0;
    uint16_t Partial = 0;
};

// Whether every item has permission bits. DOS and VMS listings give none, and a window
// that started from nothing would send modes the server never had.
bool PermissionsKnown(const QList<TPropertiesItem>& items);
// Checked: bits all items have; partial: bits only some have.
TPermissionBoxes InitialPermissionBoxes(const QList<TPropertiesItem>& items);
// The bits the user changed: boxes that now differ from how they started and are not
// partially checked.
uint16_t ChangedPermissions(const TPermissionBoxes& initial, const TPermissionBoxes& now);

struct TAttributeChange {
    int Index = 0; // into the item list
    uint16_t Attributes = 0;
    bool operator==(const TAttributeChange&) const = default;
};

// Each item keeps its bits outside the changed ones: new = (old & ~changed) | (chosen &
// changed). Only items whose bits really change are listed.
QList<TAttributeChange> NewAttributes(const QList<TPropertiesItem>& items, uint16_t changed,
                                      uint16_t chosen);
