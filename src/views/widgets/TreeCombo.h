#pragma once

#include <QComboBox>
#include <QHash>
#include <QIcon>

#include <functional>

class QFrame;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// A combo box whose drop-down is a folder tree: one root node, a child node per path
// component, siblings sorted. Each node's data (Qt::UserRole) is its full path, ending
// with the separator. A path may also be typed into the box; only a pick or a typed path
// (Enter) fires OnPathChosen. The box keeps showing the current path until the owner
// makes another one current.
class TTreeCombo : public QComboBox {
    Q_OBJECT
public:
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int GhostedRole = Qt::UserRole + 1;

    explicit TTreeCombo(QWidget* parent = nullptr);
    ~TTreeCombo() override;

    // The icon host panes give their root node.
    static QIcon NetworkIcon();

    // Removes every node but the root.
    void Clear();
    // The root's caption and icon (the drive icon when none is given); kept by Clear.
    void SetRootCaption(const QString& caption, const QIcon& icon = QIcon());
    // Adds the path's nodes that are missing and returns the path's own node, which is
    // drawn ghosted or not as asked; nodes created on the way take the same look.
    QStandardItem* AddPath(const QString& path, QChar separator, bool ghosted);
    // Shows the path (added when missing) as the chosen one, selected and expanded in the
    // tree, without firing OnPathChosen.
    void SetCurrentPath(const QString& path);
    QString CurrentPath() const { return Current_; }
    QStandardItem* Node(const QString& path) const;

    QStandardItemModel* TreeModel() const { return Tree_; }
    QTreeView* TreeView() const { return TreeView_; }

    std::function<void(const QString& path)> OnPathChosen;

    void showPopup() override;
    void hidePopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString NormalPath(const QString& path, QChar separator) const;
    void SetGhosted(QStandardItem* node, bool ghosted);
    QStandardItem* ChildNamed(QStandardItem* parent, const QString& name, bool ghosted,
                              const QString& path);
    void Pick(const QModelIndex& index);
    void PathTyped();
    void ShowText(QStandardItem* node);

    QStandardItemModel* Tree_ = nullptr;
    QStandardItemModel* Text_ = nullptr; // the combo's own one-line model
    QFrame* Popup_ = nullptr;
    QTreeView* TreeView_ = nullptr;
    QStandardItem* Root_ = nullptr;
    QHash<QString, QStandardItem*> Nodes_;
    QChar Separator_ = QLatin1Char('/');
    QString Current_;
    QIcon FolderIcon_;
    QIcon GhostIcon_;
};
