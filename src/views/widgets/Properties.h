#pragma once

#include "views/PropertiesLogic.h"

#include <QDialog>
#include <QIcon>

class QCheckBox;

// One selected item with the icon the pane shows for it.
struct TPropertiesRecord : TPropertiesItem {
    QIcon Icon;
};

// The "Properties" window over the selected items of a pane. Only for remote items may
// the permission boxes be changed, and only when every item has known permissions.
class TfrmProperties : public QDialog {
    Q_OBJECT
public:
    TfrmProperties(const QList<TPropertiesRecord>& items, const QString& folder, QChar separator,
                   bool remote, QWidget* parent = nullptr);

    // After OK: the items whose bits the user's changes really alter, with their new bits.
    QList<TAttributeChange> ChangedItems() const { return Changed_; }
    // Whether the boxes can be changed.
    bool Editable() const { return Editable_; }

    void accept() override;

private:
    QWidget* BuildGeneralPage(const QList<TPropertiesRecord>& items, const QString& folder,
                              QChar separator);
    QWidget* BuildAttributes();
    TPermissionBoxes Boxes() const;

    QList<TPropertiesItem> Items_;
    TPermissionBoxes Initial_;
    bool Editable_ = false;
    QCheckBox* Boxes_[9] = {};
    QList<TAttributeChange> Changed_;
};
