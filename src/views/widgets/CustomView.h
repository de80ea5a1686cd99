#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>

class QAbstractItemView;
class QAbstractItemModel;
class QItemSelectionModel;
class QListView;
class QMimeData;
class QSortFilterProxyModel;
class QStackedWidget;
class QStatusBar;
class TPaneStatusBar;
class QTreeView;

// A file pane: one list of items shown in one of four styles over one model and one
// selection model, and a four-panel status bar (mask, counts, selection, the pane's own).
// It turns keys, clicks and drops into the abstract operations each kind of pane
// supplies. Items are rows of the pane's source model.
class TCustomView : public QWidget {
    Q_OBJECT
public:
    enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

    explicit TCustomView(QWidget* parent = nullptr);
    ~TCustomView() override;

    // Events, fired only when assigned.
    std::function<void(TCustomView*, const QString& location)> OnFileChanging;
    std::function<void(TCustomView*)> OnFolderChanged;
    std::function<void(TCustomView*, int row)> OnPerformDoubleClick;
    std::function<void(TCustomView*, int state, int numSelected)> OnUpdateState;
    std::function<void(TCustomView*, TCustomView*& destination)> OnTransfer;
    // The pane's context menu at a global position (the owner builds the menu).
    std::function<void(TCustomView*, const QPoint& globalPos)> OnContextMenu;

    bool DoUpdates = true;
    // Passed with every status update; whoever owns the view may set it.
    int StateValue = 0;

    QString Folder() const;
    virtual void SetFolder(const QString& folder);
    QChar Seperator() const { return Separator_; }
    virtual QString GetMask() const = 0;
    virtual void SetMask(const QString& mask);

    // Items (source rows).
    virtual int ItemCount() const = 0;
    virtual QString ItemName(int row) const = 0;
    virtual QString ItemPath(int row) const = 0;
    virtual bool IsFolder(int row) const = 0;
    virtual bool IsLink(int row) const = 0;
    virtual int64_t ItemSize(int row) const = 0;
    virtual double ItemDate(int row) const = 0;
    // Selected source rows in display order; the current item first when selected.
    QList<int> SelectedRows() const;
    int SelectedCount() const;
    // Selects these source rows alone (none: clears the selection).
    void SelectRows(const QList<int>& rows);
    // The source rows the list shows (those the mask lets through), in display order.
    QList<int> ShownRows() const;

    // Operations.
    virtual bool ReceiveFrom(TCustomView* source) = 0;
    virtual bool OpenItem(int row) = 0;
    virtual bool ShowFolder(const QString& path) = 0;
    virtual bool ShowFolderAndWait(const QString& path) { return ShowFolder(path); }
    virtual bool GoUp() = 0;
    virtual bool CreateFolder(const QString& name) = 0;
    virtual bool DeleteSelected() = 0;
    virtual bool ShowProperties() = 0;
    virtual void CutSelected() {}
    // Copies the selection: a paste in the other pane transfers it there (a file manager
    // takes local files too).
    virtual void CopySelected();
    virtual void Paste();
    virtual bool Refresh() = 0;
    virtual bool RenameItem(int row, const QString& newName) = 0;
    // Hands this view's selection to the destination (false without one).
    virtual bool TransferTo(TCustomView* destination);
    void RenameSelected();
    void SelectAll();
    void InvertSelection();
    void PerformDoubleClick(int row);

    TViewStyle ViewStyle() const { return Style_; }
    void SetViewStyle(TViewStyle style);
    QAbstractItemView* ListView() const;
    // The details style's list, whose header holds the column widths.
    QTreeView* DetailsList() const { return Details_; }
    // Both styles' lists at once, so switching styles keeps the state. A list that had
    // the focus gets it back once enabled again, unless the user has moved on meanwhile.
    void SetListEnabled(bool enabled);
    // Several rows at once (the default), or one at most, in every style.
    void SetMultiSelection(bool on);
    QStatusBar* StatusBar() const;
    // The lasting warning of the status bar ("2 lines not understood"); empty when none.
    QString StatusWarning() const;
    void SetStatusWarning(const QString& text);
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    void UpdateStatus();
    void InvalidateTotal() { TotalSize_ = -1; }

    // Drag and drop: the format that names the view a drag started from.
    static const char* ViewMimeType;

protected:
    // Installs the pane's source model behind the proxy; both styles share them.
    void SetModels(QAbstractItemModel* source, QSortFilterProxyModel* proxy);
    QSortFilterProxyModel* Proxy() const { return Proxy_; }
    void SetSeparator(QChar separator) { Separator_ = separator; }
    int SourceRow(const QModelIndex& index) const;

    // Whether a drop from another view may land here (the host view needs a connection).
    virtual bool AcceptsViewDrop() const { return true; }
    // Whether files dragged in from outside the program (a file manager) may land here.
    virtual bool AcceptsUrlDrop() const { return false; }
    // Files dropped from outside the program; false when the pane takes none.
    virtual bool DropUrls(const QList<QUrl>& urls) {
        Q_UNUSED(urls);
        return false;
    }
    // What a drag from this pane carries besides the view's own format.
    virtual void FillDragData(QMimeData& data, const QList<int>& rows) const {
        Q_UNUSED(data);
        Q_UNUSED(rows);
    }
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Puts the selection on the clipboard as copied from this view, with what the kind of
    // view adds (FillDragData).
    void PutSelectionOnClipboard(QMimeData* data);
    // Ctrl+V of items copied in a pane of the other kind: transfers them into this one as a
    // drop would. False when the clipboard holds no items of another view.
    bool PasteFromOtherView();
    // A short note in the pane's own status bar.
    void Note(const QString& text);

private:
    void BuildControls();
    bool HandleKey(QKeyEvent* key);
    bool TypeAhead(const QString& text);
    void KeepCurrentRow();
    void StartDrag();
    bool HandleDragEvent(QEvent* event);
    void ContextMenuAt(const QPoint& pos, QAbstractItemView* view);
    void DoubleClicked(const QModelIndex& index);
    bool Editing() const;

    QString Folder_;
    QChar Separator_ = QLatin1Char('/');
    TViewStyle Style_ = vsList;
    QStackedWidget* Stack_ = nullptr;
    QListView* List_ = nullptr;
    QTreeView* Details_ = nullptr;
    TPaneStatusBar* StatusBar_ = nullptr;
    QSortFilterProxyModel* Proxy_ = nullptr;
    QItemSelectionModel* Selection_ = nullptr;
    int64_t TotalSize_ = -1;
    QPoint DragStart_;
    // The current row before the list was last reset, and in which folder.
    struct {
        QString Folder;
        QString Name;
        int Row = -1;
    } Kept_;
    // The letters typed in a row for the type-ahead, and when the last came.
    QString Typed_;
    QElapsedTimer TypedAt_;
    // Where the focus went when the list was disabled under it (see SetListEnabled).
    bool Refocus_ = false;
    QPointer<QWidget> FocusMovedTo_;
    // This pane's id in a copy's data (see Copy and Paste).
    quint64 Id_ = 0;
};
