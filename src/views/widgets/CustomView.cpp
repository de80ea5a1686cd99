#include "views/widgets/CustomView.h"

#include "views/ViewFormat.h"
#include "views/widgets/PaneStatusBar.h"

#include <QApplication>
#include <QClipboard>
#include <QDataStream>
#include <QDrag>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

const char* TCustomView::ViewMimeType = "application/x-tolvar-view";

namespace {
// What a copy in a pane holds besides the view: its folder, then the copied names.
const char* const ItemsMimeType = "application/x-tolvar-items";

// The live panes by the id a copy carries. Ids are never reused, so a copy made in a
// closed pane finds nothing rather than whichever pane took its memory.
QHash<quint64, TCustomView*>& LiveViews() {
    static QHash<quint64, TCustomView*> views;
    return views;
}

TCustomView* ViewById(const QByteArray& id) {
    return LiveViews().value(id.toULongLong());
}

// Frames the current row while its list has the focus. Styles differ here: Fusion, for
// one, draws the focus frame only after a Tab key, so a keyboard user moving with the
// arrows would not see where Enter, Del or F2 act.
class TFocusMarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus; // the style's own frame, where it has one
        QStyledItemDelegate::paint(painter, plain, index);
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (!view || !(view->hasFocus() || view->viewport()->hasFocus())) return;
        const QModelIndex current = view->currentIndex();
        if (!current.isValid() || current.row() != index.row() ||
            current.parent() != index.parent())
            return;
        // A row of the details list is one frame across its cells.
        bool first = true;
        bool last = true;
        if (const auto* tree = qobject_cast<const QTreeView*>(view)) {
            const QHeaderView* header = tree->header();
            const int visual = header->visualIndex(index.column());
            for (int v = 0; v < header->count(); ++v) {
                if (header->isSectionHidden(header->logicalIndex(v))) continue;
                first = first && !(v < visual);
                last = last && !(v > visual);
            }
        }
        const bool selected = option.state & QStyle::State_Selected;
        const QRect r = option.rect.adjusted(0, 0, -1, -1);
        painter->save();
        if (!selected) {
            QColor tint = option.palette.color(QPalette::Highlight);
            tint.setAlpha(40);
            painter->fillRect(option.rect, tint);
        }
        // On the selection's colour a dotted line in its text colour, elsewhere a solid one
        // in the selection's colour: visible on either.
        painter->setPen(selected
                            ? QPen(option.palette.color(QPalette::HighlightedText), 1, Qt::DotLine)
                            : QPen(option.palette.color(QPalette::Highlight), 1));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (first) painter->drawLine(r.topLeft(), r.bottomLeft());
        if (last) painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
    }
};

// Without a desktop (offscreen, a bare window manager) no icon theme is chosen, and every
// file would show the same blank page: fall back to a common theme when one is installed.
void EnsureIconTheme() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
    for (const QString& path : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(path + QStringLiteral("/Adwaita/index.theme"))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}
// The selected rows of the list, each once, in order, read from the selection's ranges.
// Qt's selectedRows() checks every row against every range: minutes for the tens of
// thousands of scattered rows a folder compare selects.
QList<int> SelectedListRows(const QItemSelectionModel& selection) {
    QList<int> rows;
    for (const QItemSelectionRange& range : selection.selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace

TCustomView::TCustomView(QWidget* parent) : QWidget(parent) {
    static quint64 lastId = 0;
    Id_ = ++lastId;
    LiveViews().insert(Id_, this);
    EnsureIconTheme();
    BuildControls();
}

TCustomView::~TCustomView() {
    LiveViews().remove(Id_);
}

void TCustomView::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Stack_ = new QStackedWidget(this);
    List_ = new QListView(Stack_);
    Details_ = new QTreeView(Stack_);
    Details_->setRootIsDecorated(false);
    Details_->setUniformRowHeights(true);
    Details_->setSortingEnabled(true);
    Details_->setAllColumnsShowFocus(true);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(List_), static_cast<QAbstractItemView*>(Details_)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->setDragEnabled(false); // drags start here, so that they carry the view
        view->setAcceptDrops(true);
        view->viewport()->setAcceptDrops(true);
        view->setItemDelegate(new TFocusMarkDelegate(view));
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, &TCustomView::DoubleClicked);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { ContextMenuAt(pos, view); });
        Stack_->addWidget(view);
    }
    List_->setUniformItemSizes(true);
    List_->setLayoutMode(QListView::Batched);
    List_->setBatchSize(2000);
    layout->addWidget(Stack_, 1);

    StatusBar_ = new TPaneStatusBar(this);
    layout->addWidget(StatusBar_);
    SetViewStyle(vsList);
}

void TCustomView::SetModels(QAbstractItemModel* source, QSortFilterProxyModel* proxy) {
    Proxy_ = proxy;
    proxy->setSourceModel(source);
    List_->setModel(proxy);
    Details_->setModel(proxy);
    // One selection for both styles, so switching styles keeps it.
    delete Details_->selectionModel();
    Details_->setSelectionModel(List_->selectionModel());
    Selection_ = List_->selectionModel();
    connect(Selection_, &QItemSelectionModel::selectionChanged, this, [this] {
        if (ListView()->isEnabled()) UpdateStatus();
    });
    connect(proxy, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex current = Selection_->currentIndex();
        if (!current.isValid())
            return; // a reread in steps (emptied, then filled) keeps the first record
        Kept_ = {Folder(), current.siblingAtColumn(0).data().toString(), current.row()};
    });
    connect(proxy, &QAbstractItemModel::modelReset, this, [this] {
        TotalSize_ = -1;
        UpdateStatus();
        // The folder is named after the rows arrive.
        QTimer::singleShot(0, this, &TCustomView::KeepCurrentRow);
    });
    QHeaderView* header = Details_->header();
    header->setSortIndicator(0, Qt::AscendingOrder);
    // Name, Size, Type, Modified: the date gets the rest, which at the first window's
    // size leaves it room for a date and a time.
    const int widths[] = {160, 80, 120};
    for (int column = 0; column < 3 && column < proxy->columnCount(); ++column)
        header->resizeSection(column, widths[column]);
    header->setStretchLastSection(true);
}

QString TCustomView::Folder() const {
    return Folder_;
}

// A reread of the same folder (after a delete, a refresh) keeps a current row where the
// keyboard left it: the same name, or the row that took its place.
void TCustomView::KeepCurrentRow() {
    const int rows = Proxy_->rowCount();
    if (Kept_.Row < 0 || rows == 0 || Selection_->currentIndex().isValid()) return;
    if (Kept_.Folder == Folder()) {
        const QModelIndexList same =
            Proxy_->match(Proxy_->index(0, 0), Qt::DisplayRole, Kept_.Name, 1, Qt::MatchExactly);
        const int row = same.isEmpty() ? qMin(Kept_.Row, rows - 1) : same.first().row();
        Selection_->setCurrentIndex(Proxy_->index(row, 0), QItemSelectionModel::NoUpdate);
    }
    Kept_.Row = -1;
}

void TCustomView::SetMultiSelection(bool on) {
    const auto mode =
        on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    List_->setSelectionMode(mode);
    Details_->setSelectionMode(mode);
    if (!on && SelectedCount() > 1) SelectRows({SelectedRows().first()});
}

void TCustomView::SetFolder(const QString& folder) {
    Folder_ = folder;
    if (!Folder_.isEmpty() && !Folder_.endsWith(Separator_)) Folder_ += Separator_;
    TotalSize_ = -1;
    UpdateStatus();
}

void TCustomView::SetMask(const QString& mask) {
    SetPanelText(0, mask.isEmpty() ? QStringLiteral("*.*") : mask.toLower());
}

int TCustomView::SourceRow(const QModelIndex& index) const {
    if (!index.isValid() || !Proxy_) return -1;
    return Proxy_->mapToSource(index).row();
}

QList<int> TCustomView::SelectedRows() const {
    QList<int> rows;
    if (!Selection_) return rows;
    const QModelIndex current = Selection_->currentIndex();
    for (int row : SelectedListRows(*Selection_)) {
        const int source = SourceRow(Proxy_->index(row, 0));
        if (current.isValid() && row == current.row())
            rows.prepend(source);
        else
            rows.append(source);
    }
    return rows;
}

int TCustomView::SelectedCount() const {
    return Selection_ ? static_cast<int>(SelectedListRows(*Selection_).size()) : 0;
}

void TCustomView::SelectRows(const QList<int>& rows) {
    if (!Selection_ || !Proxy_) return;
    QModelIndex current;
    QList<int> listRows;
    for (int row : rows) {
        const QModelIndex index = Proxy_->mapFromSource(Proxy_->sourceModel()->index(row, 0));
        if (!index.isValid()) continue;
        if (!current.isValid()) current = index;
        listRows.append(index.row());
    }
    std::sort(listRows.begin(), listRows.end());
    listRows.erase(std::unique(listRows.begin(), listRows.end()), listRows.end());
    // Whole rows, neighbours joined into one range. Qt merges the ranges of a selection
    // of rows with one another and weighs a new selection against the old one range by
    // range, both quadratic: the old goes first, the new comes whole and in few ranges.
    QItemSelection selection;
    const int lastColumn = Proxy_->columnCount() - 1;
    for (qsizetype first = 0, last = 0; first < listRows.size(); first = ++last) {
        while (last + 1 < listRows.size() && listRows[last + 1] == listRows[last] + 1)
            ++last;
        selection.append(QItemSelectionRange(Proxy_->index(listRows[first], 0),
                                             Proxy_->index(listRows[last], lastColumn)));
    }
    Selection_->clearSelection();
    Selection_->select(selection, QItemSelectionModel::Select);
    if (current.isValid()) Selection_->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

QList<int> TCustomView::ShownRows() const {
    QList<int> rows;
    const int count = Proxy_ ? Proxy_->rowCount() : 0;
    rows.reserve(count);
    for (int row = 0; row < count; ++row)
        rows.append(SourceRow(Proxy_->index(row, 0)));
    return rows;
}

bool TCustomView::TransferTo(TCustomView* destination) {
    return destination && destination->ReceiveFrom(this);
}

void TCustomView::RenameSelected() {
    if (!Selection_) return;
    QModelIndex index = Selection_->currentIndex();
    if (!index.isValid() || !Selection_->isSelected(index)) {
        const QModelIndexList rows = Selection_->selectedRows(0);
        if (rows.isEmpty()) return;
        index = rows.first();
    }
    ListView()->edit(index.siblingAtColumn(0));
}

void TCustomView::SelectAll() {
    const bool updates = DoUpdates;
    DoUpdates = false;
    ListView()->selectAll();
    DoUpdates = updates;
    UpdateStatus();
}

void TCustomView::InvertSelection() {
    if (!Selection_ || !Proxy_) return;
    const bool updates = DoUpdates;
    DoUpdates = false;
    const int rows = Proxy_->rowCount();
    if (rows > 0) {
        const QItemSelection all(Proxy_->index(0, 0),
                                 Proxy_->index(rows - 1, Proxy_->columnCount() - 1));
        Selection_->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    }
    DoUpdates = updates;
    UpdateStatus();
}

void TCustomView::PerformDoubleClick(int row) {
    if (row < 0) return;
    if (OnPerformDoubleClick && !IsFolder(row))
        OnPerformDoubleClick(this, row);
    else
        OpenItem(row);
}

void TCustomView::DoubleClicked(const QModelIndex& index) {
    if (!index.isValid() || SelectedCount() == 0) return;
    if (QApplication::keyboardModifiers() & Qt::AltModifier)
        ShowProperties();
    else
        PerformDoubleClick(SourceRow(index));
}

void TCustomView::SetViewStyle(TViewStyle style) {
    Style_ = style;
    switch (style) {
    case vsIcon:
        List_->setViewMode(QListView::IconMode);
        List_->setIconSize(QSize(32, 32));
        List_->setGridSize(QSize(112, 76));
        List_->setTextElideMode(Qt::ElideMiddle);
        List_->setFlow(QListView::LeftToRight);
        List_->setWrapping(true);
        List_->setWordWrap(true);
        break;
    case vsSmallIcon:
        List_->setViewMode(QListView::IconMode);
        List_->setIconSize(QSize(16, 16));
        List_->setGridSize(QSize());
        List_->setFlow(QListView::LeftToRight);
        List_->setWrapping(true);
        List_->setWordWrap(false);
        break;
    case vsList:
        List_->setViewMode(QListView::ListMode);
        List_->setIconSize(QSize(16, 16));
        List_->setGridSize(QSize());
        List_->setFlow(QListView::TopToBottom);
        List_->setWrapping(true);
        List_->setWordWrap(false);
        break;
    case vsReport:
        break;
    }
    if (style != vsReport) {
        List_->setMovement(QListView::Static);
        List_->setResizeMode(QListView::Adjust);
        // A static list turns drops and drags off; the pane handles both itself.
        List_->setDragEnabled(false);
        List_->setAcceptDrops(true);
        List_->viewport()->setAcceptDrops(true);
    }
    QWidget* shown = style == vsReport ? static_cast<QWidget*>(Details_) : List_;
    const bool focused = Stack_->currentWidget() && Stack_->currentWidget()->hasFocus();
    Stack_->setCurrentWidget(shown);
    if (focused) shown->setFocus();
}

QAbstractItemView* TCustomView::ListView() const {
    return Style_ == vsReport ? static_cast<QAbstractItemView*>(Details_) : List_;
}

void TCustomView::SetListEnabled(bool enabled) {
    // The window's focus child, which takes the focus when the window is active again (it
    // is not while a question is open).
    QWidget* focus = window()->focusWidget();
    const bool hadFocus = focus && (focus == ListView() || ListView()->isAncestorOf(focus));
    List_->setEnabled(enabled);
    Details_->setEnabled(enabled);
    if (!enabled && hadFocus) {
        // Qt passes the focus on to the next control; it comes back once the list can take it.
        Refocus_ = true;
        FocusMovedTo_ = window()->focusWidget();
    } else if (enabled && Refocus_) {
        Refocus_ = false;
        if (window()->focusWidget() == FocusMovedTo_.data())
            ListView()->setFocus(Qt::OtherFocusReason);
    }
}

QStatusBar* TCustomView::StatusBar() const {
    return StatusBar_;
}

QString TCustomView::PanelText(int panel) const {
    return StatusBar_->PanelText(panel);
}

void TCustomView::SetPanelText(int panel, const QString& text) {
    StatusBar_->SetPanelText(panel, text);
}

void TCustomView::UpdateStatus() {
    if (!DoUpdates) return;
    if (OnUpdateState) OnUpdateState(this, StateValue, SelectedCount());
    // Counts and sums are of the items shown, not of those the mask hides.
    const int count = Proxy_ ? Proxy_->rowCount() : 0;
    if (TotalSize_ < 0) {
        TotalSize_ = 0;
        for (int i = 0; i < count; ++i)
            TotalSize_ += ItemSize(SourceRow(Proxy_->index(i, 0)));
    }
    SetPanelText(1, QStringLiteral("%1 %2, %3")
                        .arg(count)
                        .arg(count == 1 ? QStringLiteral("Entry") : QStringLiteral("Entries"),
                             FormatSize(TotalSize_)));
    const QList<int> rows = SelectedRows();
    int64_t selected = 0;
    for (int row : rows)
        selected += ItemSize(row);
    SetPanelText(2, QStringLiteral("%1 %2 Selected, %3")
                        .arg(rows.size())
                        .arg(rows.size() == 1 ? QStringLiteral("Item") : QStringLiteral("Items"),
                             FormatSize(selected)));
}

QString TCustomView::StatusWarning() const {
    return StatusBar_->Warning();
}

void TCustomView::SetStatusWarning(const QString& text) {
    StatusBar_->SetWarning(text);
}

void TCustomView::Note(const QString& text) {
    StatusBar_->showMessage(text, 6000);
}

void TCustomView::CopySelected() {
    PutSelectionOnClipboard(new QMimeData);
}

void TCustomView::PutSelectionOnClipboard(QMimeData* data) {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) {
        delete data;
        return;
    }
    QStringList items{Folder()};
    for (int row : rows)
        items.append(ItemName(row));
    QByteArray encoded;
    QDataStream out(&encoded, QIODevice::WriteOnly);
    out << items;
    data->setData(QString::fromLatin1(ViewMimeType), QByteArray::number(Id_));
    data->setData(QString::fromLatin1(ItemsMimeType), encoded);
    FillDragData(*data, rows);
    QGuiApplication::clipboard()->setMimeData(data);
    Note(QStringLiteral("%1 %2 copied: Ctrl+V in the other pane transfers %3.")
             .arg(rows.size())
             .arg(rows.size() == 1 ? QStringLiteral("item") : QStringLiteral("items"),
                  rows.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")));
}

void TCustomView::Paste() {
    if (!PasteFromOtherView())
        Note(QStringLiteral("Nothing to paste here: copy items in the other pane first (Ctrl+C)."));
}

bool TCustomView::PasteFromOtherView() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QString::fromLatin1(ViewMimeType)) ||
        !data->hasFormat(QString::fromLatin1(ItemsMimeType)))
        return false;
    QStringList items;
    QDataStream in(data->data(QString::fromLatin1(ItemsMimeType)));
    in >> items;
    TCustomView* source = ViewById(data->data(QString::fromLatin1(ViewMimeType)));
    if (items.isEmpty()) return false;
    if (!source) {
        Note(QStringLiteral("The pane the items were copied in is closed: copy them again."));
        return true;
    }
    // A pane of the same kind pastes in its own way, or not at all.
    if (source->metaObject() == metaObject()) return false;
    if (source->Folder() != items.takeFirst()) {
        Note(QStringLiteral("The pane the items were copied in shows another folder now: copy "
                            "them again."));
        return true;
    }
    // What was copied is transferred, not what happens to be selected now.
    const QSet<QString> names(items.begin(), items.end());
    QList<int> rows;
    for (int row = 0; row < source->ItemCount(); ++row) {
        if (names.contains(source->ItemName(row))) rows.append(row);
    }
    if (rows.isEmpty()) {
        Note(QStringLiteral("The copied items are no longer there."));
        return true;
    }
    source->SelectRows(rows);
    if (!source->TransferTo(this))
        Note(QStringLiteral("Nothing was transferred: the server pane is not connected."));
    return true;
}

bool TCustomView::Editing() const {
    // The in-place editor is the only focusable child of the viewport.
    const QWidget* focus = QApplication::focusWidget();
    QWidget* viewport = ListView()->viewport();
    return focus && focus != viewport && viewport->isAncestorOf(focus);
}

// The commands with keys of their own (F2, F5, Delete, Ctrl+A, Ctrl+C...) are the window's
// actions, which the owner adds to the view; the list keeps opening, going up, the menu
// and the type-ahead.
bool TCustomView::HandleKey(QKeyEvent* key) {
    if (Editing()) return false;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (mods & Qt::AltModifier) return false; // the properties' key
        const QList<int> rows = SelectedRows();
        if (!rows.isEmpty()) PerformDoubleClick(rows.first());
        break;
    }
    case Qt::Key_Backspace:
        GoUp();
        break;
    case Qt::Key_Menu: {
        QAbstractItemView* view = ListView();
        const QModelIndex current = view->currentIndex();
        const QPoint pos = SelectedCount() > 0 && current.isValid()
                               ? view->visualRect(current).topLeft() + QPoint(8, 8)
                               : QPoint(0, 0);
        ContextMenuAt(pos, view);
        break;
    }
    default:
        return !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
               TypeAhead(key->text());
    }
    UpdateStatus();
    return true;
}

// Letters typed in a row (each within the keyboard input interval of the last) make a
// prefix, and the next name that begins with it becomes current; the same letter again
// moves on to the next name beginning with that letter. Both list styles alike.
bool TCustomView::TypeAhead(const QString& text) {
    const bool going =
        TypedAt_.isValid() && TypedAt_.elapsed() <= QApplication::keyboardInputInterval();
    // A blank only continues a name; alone it is the list's own key (select).
    if (text.isEmpty() || !text.at(0).isPrint() || (text == QLatin1String(" ") && !going))
        return false;
    if (!going) Typed_.clear();
    TypedAt_.start();
    Typed_ += text;
    const bool sameLetter = Typed_.count(Typed_.at(0)) == Typed_.size();
    const QString prefix = sameLetter ? Typed_.left(1) : Typed_;
    QAbstractItemView* view = ListView();
    const int rows = Proxy_ ? Proxy_->rowCount() : 0;
    if (rows == 0) return true;
    const int current = view->currentIndex().isValid() ? view->currentIndex().row() : -1;
    // A longer prefix may still fit the current name; a new search starts below it.
    const int start = sameLetter ? current + 1 : qMax(current, 0);
    for (int i = 0; i < rows; ++i) {
        const QModelIndex index = Proxy_->index((start + i) % rows, 0);
        if (index.data().toString().startsWith(prefix, Qt::CaseInsensitive)) {
            view->setCurrentIndex(index);
            view->scrollTo(index);
            break;
        }
    }
    return true;
}

void TCustomView::ContextMenuAt(const QPoint& pos, QAbstractItemView* view) {
    if (OnContextMenu) OnContextMenu(this, view->viewport()->mapToGlobal(pos));
}

void TCustomView::StartDrag() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(ViewMimeType), QByteArray::number(Id_));
    FillDragData(*data, rows);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
}

// The view a drag came from, when it is a pane of this program other than this one: the
// drag's own source (its QDrag belongs to the view that started it).
static TCustomView* DragSource(const QDropEvent* event, const TCustomView* target) {
    auto* source = qobject_cast<TCustomView*>(event->source());
    return source != target ? source : nullptr;
}

bool TCustomView::HandleDragEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QMimeData* data = drag->mimeData();
        bool accept = false;
        if (data->hasFormat(QString::fromLatin1(ViewMimeType)))
            accept = DragSource(drag, this) != nullptr && AcceptsViewDrop();
        else if (data->hasUrls())
            accept = AcceptsUrlDrop();
        if (accept)
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (TCustomView* source = DragSource(drop, this)) {
            drop->acceptProposedAction();
            source->TransferTo(this);
        } else if (!data->hasFormat(QString::fromLatin1(ViewMimeType)) && data->hasUrls() &&
                   DropUrls(data->urls())) {
            drop->acceptProposedAction();
        } else {
            drop->ignore();
        }
        return true;
    }
    default:
        return false;
    }
}

bool TCustomView::eventFilter(QObject* watched, QEvent* event) {
    const bool isView = watched == List_ || watched == Details_;
    const bool isViewport = watched == List_->viewport() || watched == Details_->viewport();
    if (isView && event->type() == QEvent::KeyPress)
        return HandleKey(static_cast<QKeyEvent*>(event));
    // The focus mark spans the whole row, more than Qt repaints on a change of focus.
    if (isView && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        static_cast<QAbstractItemView*>(watched)->viewport()->update();
    if (isViewport) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) DragStart_ = mouse->position().toPoint();
            break;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if ((mouse->buttons() & Qt::LeftButton) && !Editing() &&
                (mouse->position().toPoint() - DragStart_).manhattanLength() >=
                    QApplication::startDragDistance() &&
                ListView()->indexAt(DragStart_).isValid()) {
                StartDrag();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) UpdateStatus();
            break;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return HandleDragEvent(event);
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
