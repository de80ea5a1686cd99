#include "views/widgets/TreeCombo.h"

#include "views/PaneOrder.h"
#include "views/widgets/ThemeIcons.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
constexpr int MaxPopupRows = 20;

// Closed when collapsed, open when expanded: the item delegate picks the icon's On state
// for open nodes.
QIcon FolderIcon(QIcon::Mode mode) {
    const QIcon closed = ThemeIcon("folder", QStyle::SP_DirClosedIcon);
    const QIcon open = ThemeIcon("folder-open", QStyle::SP_DirOpenIcon);
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(closed.pixmap(size, mode), QIcon::Normal, QIcon::Off);
        icon.addPixmap(open.pixmap(size, mode), QIcon::Normal, QIcon::On);
    }
    return icon;
}
} // namespace

TTreeCombo::TTreeCombo(QWidget* parent)
    : QComboBox(parent), Tree_(new QStandardItemModel(this)), Text_(new QStandardItemModel(this)) {
    FolderIcon_ = FolderIcon(QIcon::Normal);
    GhostIcon_ = FolderIcon(QIcon::Disabled);
    Text_->appendRow(new QStandardItem);
    setModel(Text_);
    setCurrentIndex(0);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // it would complete every typed path to the one shown
    connect(lineEdit(), &QLineEdit::returnPressed, this, &TTreeCombo::PathTyped);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);

    Root_ = new QStandardItem;
    Root_->setEditable(false);
    Tree_->appendRow(Root_);
    SetRootCaption(QStringLiteral("/"));

    Popup_ = new QFrame(this, Qt::Popup);
    Popup_->setFrameShape(QFrame::StyledPanel);
    // A click outside only closes the drop-down, even on the combo itself.
    Popup_->setAttribute(Qt::WA_NoMouseReplay);
    auto* layout = new QVBoxLayout(Popup_);
    layout->setContentsMargins(0, 0, 0, 0);
    TreeView_ = new QTreeView(Popup_);
    TreeView_->setHeaderHidden(true);
    TreeView_->setUniformRowHeights(true);
    TreeView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView_->setModel(Tree_);
    TreeView_->installEventFilter(this);
    layout->addWidget(TreeView_);
    connect(TreeView_, &QTreeView::clicked, this, &TTreeCombo::Pick);
}

TTreeCombo::~TTreeCombo() = default;

QIcon TTreeCombo::NetworkIcon() {
    return ThemeIcon("network-server", QStyle::SP_DriveNetIcon);
}

void TTreeCombo::Clear() {
    if (Root_->rowCount() > 0) Root_->removeRows(0, Root_->rowCount());
    Nodes_.clear();
    Nodes_.insert(QString(Separator_), Root_);
}

void TTreeCombo::SetRootCaption(const QString& caption, const QIcon& icon) {
    Root_->setText(caption);
    Root_->setIcon(icon.isNull() ? ThemeIcon("drive-harddisk", QStyle::SP_DriveHDIcon) : icon);
    Root_->setData(QString(Separator_), PathRole);
    Nodes_.insert(QString(Separator_), Root_);
    if (Current_.isEmpty() || Current_ == QString(Separator_)) ShowText(Root_);
}

QString TTreeCombo::NormalPath(const QString& path, QChar separator) const {
    QString normal = path;
    if (!normal.startsWith(separator)) normal.prepend(separator);
    if (!normal.endsWith(separator)) normal.append(separator);
    return normal;
}

QStandardItem* TTreeCombo::Node(const QString& path) const {
    return Nodes_.value(NormalPath(path, Separator_), nullptr);
}

void TTreeCombo::SetGhosted(QStandardItem* node, bool ghosted) {
    node->setData(ghosted, GhostedRole);
    if (ghosted)
        node->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    else
        node->setData(QVariant(), Qt::ForegroundRole);
    if (node != Root_) node->setIcon(ghosted ? GhostIcon_ : FolderIcon_);
}

QStandardItem* TTreeCombo::ChildNamed(QStandardItem* parent, const QString& name, bool ghosted,
                                      const QString& path) {
    int low = 0;
    int high = parent->rowCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        const int order = CompareNames(parent->child(middle)->text(), name);
        if (order == 0) return parent->child(middle);
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    auto* node = new QStandardItem(name);
    node->setEditable(false);
    node->setData(path, PathRole);
    SetGhosted(node, ghosted);
    parent->insertRow(low, node);
    Nodes_.insert(path, node);
    return node;
}

QStandardItem* TTreeCombo::AddPath(const QString& path, QChar separator, bool ghosted) {
    if (separator != Separator_) {
        // Every path of one tree has one separator; a new one starts the tree afresh.
        Nodes_.remove(QString(Separator_));
        Separator_ = separator;
        Root_->setData(QString(Separator_), PathRole);
        Clear();
    }
    const QStringList parts = path.split(separator, Qt::SkipEmptyParts);
    QStandardItem* node = Root_;
    QString nodePath(separator);
    for (const QString& part : parts) {
        nodePath += part + separator;
        node = ChildNamed(node, part, ghosted, nodePath);
    }
    SetGhosted(node, ghosted);
    return node;
}

void TTreeCombo::SetCurrentPath(const QString& path) {
    QStandardItem* node = Node(path);
    if (!node) node = AddPath(path, Separator_, false);
    Current_ = node->data(PathRole).toString();
    ShowText(node);
    const QModelIndex index = node->index();
    TreeView_->setCurrentIndex(index);
    for (QStandardItem* up = node; up; up = up->parent())
        TreeView_->expand(up->index());
}

void TTreeCombo::ShowText(QStandardItem* node) {
    if (!node) return;
    QStandardItem* line = Text_->item(0);
    // The box names the folder itself, the root too ("/"); the tree's root node keeps
    // its caption ("Server") in the drop-down.
    line->setText(node->data(PathRole).toString());
    line->setIcon(node->icon());
    lineEdit()->setText(line->text()); // also over a typed text
}

void TTreeCombo::Pick(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QString path = index.data(PathRole).toString();
    hidePopup();
    // The owner usually rebuilds the tree; not while the tree view is still in its click.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (OnPathChosen) OnPathChosen(path);
        },
        Qt::QueuedConnection);
}

void TTreeCombo::PathTyped() {
    const QString path = lineEdit()->text().trimmed();
    // Back to the path shown; the owner makes the typed one current once it shows it.
    ShowText(Node(Current_));
    lineEdit()->selectAll();
    if (!path.isEmpty() && OnPathChosen) OnPathChosen(path);
}

void TTreeCombo::showPopup() {
    if (QStandardItem* node = Nodes_.value(Current_, nullptr))
        TreeView_->setCurrentIndex(node->index());
    TreeView_->expand(Root_->index());
    // Sized to the rows open now, up to a limit; wider than the combo when names need it.
    int rows = 0;
    int textWidth = 0;
    for (QModelIndex index = Tree_->index(0, 0); index.isValid() && rows < MaxPopupRows;
         index = TreeView_->indexBelow(index)) {
        int depth = 0;
        for (QModelIndex up = index.parent(); up.isValid() && depth < 64; up = up.parent())
            ++depth;
        textWidth = qMax(textWidth, (depth + 1) * TreeView_->indentation() +
                                        fontMetrics().horizontalAdvance(index.data().toString()));
        ++rows;
    }
    const int rowHeight = qMax(fontMetrics().height(), TreeView_->iconSize().height()) + 4;
    const int frame = 2 * Popup_->frameWidth() + 2 * TreeView_->frameWidth();
    const int width = qMax(this->width(), textWidth + 16 + 24 + frame);
    const int height = rows * rowHeight + frame + 2;

    QPoint below = mapToGlobal(QPoint(0, this->height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (below.y() + height > area.bottom()) below.setY(mapToGlobal(QPoint(0, 0)).y() - height);
        below.setX(qBound(area.left(), below.x(), qMax(area.left(), area.right() - width)));
    }
    Popup_->setGeometry(QRect(below, QSize(width, height)));
    Popup_->show();
    TreeView_->setFocus();
    TreeView_->scrollTo(TreeView_->currentIndex());
}

void TTreeCombo::hidePopup() {
    Popup_->hide();
}

void TTreeCombo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && lineEdit()->isModified()) {
        ShowText(Node(Current_));
        lineEdit()->selectAll();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void TTreeCombo::focusOutEvent(QFocusEvent* event) {
    // A path typed but not entered is dropped, so that the box names the folder shown.
    if (!Popup_->isVisible() && lineEdit()->isModified()) ShowText(Node(Current_));
    QComboBox::focusOutEvent(event);
}

bool TTreeCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView_ && event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        const int key = press->key();
        // A path typed while the tree is open goes into the box.
        if (press->text() == QLatin1String("/") || press->text() == QLatin1String("~")) {
            hidePopup();
            lineEdit()->setFocus(Qt::ShortcutFocusReason);
            lineEdit()->setText(press->text());
            lineEdit()->setModified(true);
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Pick(TreeView_->currentIndex());
            return true;
        }
        if (key == Qt::Key_Escape) {
            hidePopup();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
