#include "views/widgets/HostView.h"

#include "transfer/QueueBuilder.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferType.h"
#include "transfer/windows/TransferQuestions.h"
#include "views/HostFolderSource.h"
#include "views/RemotePath.h"
#include "views/ViewFormat.h"

#include "listing/FtpUtils.h"
#include "views/ViewQuestions.h"
#include "views/widgets/Properties.h"
#include "views/widgets/RemoteListModel.h"
#include "views/widgets/TreeCombo.h"
#include "views/widgets/ViewQuestions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QStandardItem>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

THostView::THostView(QWidget* parent)
    : TCustomView(parent), OwnQuestions_(std::make_unique<TViewQuestions>(this)) {
    Browser_ = new THostBrowser(this);
    Browser_->SetQuestions(OwnQuestions_.get());
    Model_ = new TRemoteListModel(this);
    Proxy_ = new TRemoteSortProxy(this);
    SetModels(Model_, Proxy_);
    Proxy_->sort(TRemoteListModel::colName, Qt::AscendingOrder);
    Model_->CanRename = [this] { return Connected(); };
    Model_->OnRename = [this](int row, const QString& name) {
        RenameEdited(row, name);
        return false;
    };
    THostBrowser* b = Browser_;
    connect(b, &THostBrowser::FolderShown, this, &THostView::Shown);
    connect(b, &THostBrowser::StateChanged, this, &THostView::StateChanged);
    connect(b, &THostBrowser::ListCleared, this, [this] {
        Model_->Clear();
        SetStatusWarning(QString());
    });
    connect(b, &THostBrowser::ListEnabled, this, [this](bool on) { SetListEnabled(on); });
    connect(b, &THostBrowser::TreeChanged, this, &THostView::RebuildTree);
    // Bytes moved change many times a second: the panel shows them at a readable rate,
    // and always ends with the last text.
    ProgressDelay_ = new QTimer(this);
    ProgressDelay_->setSingleShot(true);
    ProgressDelay_->setInterval(100);
    connect(ProgressDelay_, &QTimer::timeout, this, [this] {
        if (PanelText(3) == ProgressPending_) return;
        SetPanelText(3, ProgressPending_);
        ProgressDelay_->start();
    });
    connect(b, &THostBrowser::ProgressText, this, [this](const QString& t) {
        ProgressPending_ = t;
        if (ProgressDelay_->isActive()) return;
        SetPanelText(3, t);
        ProgressDelay_->start();
    });
    connect(b, &THostBrowser::MaskChanged, this, [this] {
        Proxy_->SetMasks(Browser_->MaskList());
        InvalidateTotal();
        UpdateStatus();
    });
    connect(b, &THostBrowser::FileChanging, this, [this](const QString& location) {
        if (OnFileChanging) OnFileChanging(this, location);
    });
    connect(b, &THostBrowser::LogLine, this, [this](const QString& text, TColor color) {
        if (OnLog) OnLog(this, text, color);
    });
    connect(b, &THostBrowser::Transferred, this, [this](const QStringList& files, int reason) {
        if (OnTransferred) OnTransferred(this, files, reason);
    });
    SetListEnabled(false);
}

THostView::~THostView() = default;

void THostView::SetTreeCombo(TTreeCombo* tree) {
    Tree_ = tree;
    if (!tree) return;
    tree->SetRootCaption(QStringLiteral("Server"), TTreeCombo::NetworkIcon());
    // A pick from the tree or a typed path, which may name a folder below the one shown.
    tree->OnPathChosen = [this](const QString& path) {
        Browser_->ShowFolder(
            TypedFolderPath(RawPath(path), Browser_->Folder(), Browser_->PathForm()));
    };
    connect(tree, &QObject::destroyed, this, [this, tree] {
        if (Tree_ == tree) Tree_ = nullptr;
    });
    RebuildTree();
}

void THostView::Connect(const QString& host, int port, const QString& selectMasks,
                        const QString& initialFolder, const QByteArray& user,
                        const QByteArray& password, const QByteArray& account,
                        const TSessionSecurity& security) {
    SetSeparator(QLatin1Char('/'));
    InvalidateTotal();
    Browser_->Connect(host, port, selectMasks, initialFolder, user, password, account, security);
}

void THostView::SetQuestions(IViewQuestions* questions) {
    Questions_ = questions;
    Browser_->SetQuestions(questions ? questions : OwnQuestions_.get());
}

void THostView::Shown(const QByteArray& folder, TListingPtr listing) {
    const bool updates = DoUpdates;
    DoUpdates = false;
    SetSeparator(Browser_->Separator());
    Model_->Charset = Browser_->NameCharset;
    Model_->SetListing(std::move(listing));
    SetFolder(Browser_->PathText(folder));
    DoUpdates = updates;
    InvalidateTotal();
    UpdateStatus();
    // The listing is incomplete: say so while it is shown (the log holds the lines).
    const int64_t notUnderstood = Browser_->NotUnderstoodCount(folder);
    SetStatusWarning(notUnderstood == 0 ? QString()
                     : notUnderstood == 1
                         ? QStringLiteral("1 line not understood")
                         : QStringLiteral("%1 lines not understood").arg(notUnderstood));
    if (OnFolderChanged) OnFolderChanged(this);
    const QStringList masks = Browser_->TakeSelectMasks();
    if (masks.isEmpty()) return;
    QList<int> rows;
    bool folderChosen = false;
    for (int row = 0; row < Model_->rowCount(); ++row) {
        if (MatchesMaskList(Model_->Caption(row).toLower(), masks)) {
            rows << row;
            folderChosen = folderChosen || Model_->IsFolder(row);
        }
    }
    if (rows.isEmpty()) return;
    SelectRows(rows);
    auto transfer = [this] {
        TCustomView* destination = nullptr;
        if (OnTransfer) OnTransfer(this, destination);
        if (destination) TransferTo(destination);
    };
    if (folderChosen)
        QTimer::singleShot(100, this, transfer);
    else
        transfer();
}

void THostView::StateChanged(int state) {
    StateValue = state;
    if (OnUpdateState) OnUpdateState(this, state, SelectedCount());
}

void THostView::RebuildTree() {
    if (!Tree_ || !Connected()) return;
    Tree_->Clear();
    const QChar separator = Browser_->Separator();
    for (const QByteArray& path : Browser_->KnownFolders())
        Tree_->AddPath(Browser_->PathText(path), separator, !Browser_->CachedListing(path));
    if (!Browser_->Folder().isEmpty()) {
        const QString current = Browser_->PathText(Browser_->Folder());
        Tree_->AddPath(current, separator, !Browser_->CachedListing(Browser_->Folder()));
        Tree_->SetCurrentPath(current);
    }
}

QByteArray THostView::RawPath(const QString& path) const {
    // Display paths of names that are not UTF-8 map back through the known folders.
    QString key = path;
    if (!key.endsWith(Browser_->Separator())) key += Browser_->Separator();
    for (const QByteArray& known : Browser_->KnownFolders())
        if (Browser_->PathText(known) == key) return known;
    return Browser_->PathBytes(path);
}

QByteArray THostView::ItemRawName(int row) const {
    const TRemoteListEntry& entry = Model_->Entry(row);
    return (entry.Item.Attributes & raLink) ? LinkName(entry.Name) : entry.Name;
}

int THostView::ItemCount() const {
    return Model_->rowCount();
}
QString THostView::ItemName(int row) const {
    return Model_->Caption(row);
}
QString THostView::ItemPath(int row) const {
    return Browser_->PathText(Browser_->ItemPath(ItemRawName(row)));
}
bool THostView::IsFolder(int row) const {
    return Model_->IsFolder(row);
}
bool THostView::IsLink(int row) const {
    return Model_->Entry(row).Item.Attributes & raLink;
}
int64_t THostView::ItemSize(int row) const {
    return Model_->Entry(row).Item.Size;
}
double THostView::ItemDate(int row) const {
    return Model_->Entry(row).Item.Date;
}

void THostView::SetMask(const QString& mask) {
    TCustomView::SetMask(mask);
    Browser_->SetMask(mask);
}

TRemoteItemList THostView::SelectedEntries() const {
    TRemoteItemList entries;
    for (int row : SelectedRows())
        entries.push_back(Model_->Entry(row));
    return entries;
}

bool THostView::OpenItem(int row) {
    if (row < 0 || !IsFolder(row)) return false;
    return Browser_->ShowFolder(Browser_->Folder() + ItemRawName(row) +
                                Browser_->PathForm().Separator);
}

bool THostView::ShowFolder(const QString& path) {
    return Browser_->ShowFolder(RawPath(path));
}

bool THostView::ShowFolderAndWait(const QString& path) {
    return Browser_->ShowFolderAndWait(RawPath(path));
}

bool THostView::CreateFolder(const QString& name) {
    if (!Connected() || name.isEmpty()) return false;
    Browser_->CreateFolder(name);
    return true;
}

bool THostView::DeleteSelectedItems(bool ask) {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || !Connected()) return false;
    IViewQuestions& questions = Questions_ ? *Questions_ : *OwnQuestions_;
    if (ask && !questions.ConfirmDelete(static_cast<int>(rows.size()), ItemName(rows.first()),
                                        IsFolder(rows.first()) && !IsLink(rows.first())))
        return false;
    SetListEnabled(false);
    const bool complete = Browser_->DeleteItems(SelectedEntries());
    SetListEnabled(Connected());
    return complete;
}

bool THostView::ShowProperties() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return false;
    QList<TPropertiesRecord> records;
    QList<QByteArray> names;
    for (int row : rows) {
        TPropertiesRecord record;
        record.Name = ItemName(row);
        record.TypeText = Model_->TypeText(row);
        record.IsFolder = IsFolder(row);
        record.Size = ItemSize(row);
        record.Date = ItemDate(row);
        record.Attributes = Model_->Entry(row).Item.Attributes;
        record.Icon = Model_->data(Model_->index(row, 0), Qt::DecorationRole).value<QIcon>();
        records << record;
        names << ItemRawName(row);
    }
    TfrmProperties dialog(records, Browser_->PathText(Browser_->ToServerPath(Browser_->Folder())),
                          Browser_->Separator(), true, this);
    if (dialog.exec() != QDialog::Accepted || dialog.ChangedItems().isEmpty()) return false;
    for (const TAttributeChange& change : dialog.ChangedItems())
        Browser_->ChangeAttributes(names.at(change.Index), change.Attributes);
    Browser_->Refresh();
    return true;
}

void THostView::RenameEdited(int row, const QString& newName) {
    if (newName.isEmpty() || newName == ItemName(row)) {
        QApplication::beep();
        return;
    }
    Browser_->Rename(ItemRawName(row), newName);
}

bool THostView::RenameItem(int row, const QString& newName) {
    if (!Connected() || newName.isEmpty()) return false;
    Browser_->Rename(ItemRawName(row), newName);
    return true;
}

TTransferItems* THostView::Queue() {
    if (!Queue_) {
        if (!QueueList_) {
            OwnQueueList_ = std::make_unique<TTransferItemsList>();
            QueueList_ = OwnQueueList_.get();
        }
        Queue_.reset(new TTransferItems(QueueList_));
        Queue_->HostView = this;
    }
    Queue_->SetName(ConnectionName.isEmpty() ? Session()->Host : ConnectionName);
    return Queue_.get();
}

TWalkEntry THostView::WalkEntry(int row) const {
    TWalkEntry entry;
    entry.Name = ItemRawName(row);
    entry.IsFolder = IsFolder(row);
    entry.IsLink = IsLink(row);
    entry.Size = ItemSize(row);
    entry.Date = ItemDate(row);
    return entry;
}

// Every transfer from the panes ends here: the other pane's selection or this one's
// becomes items of this pane's queue, folders walked on their listings.
bool THostView::BuildTransfers(TCustomView* other, bool upload) {
    if (!other || other == this || !Session()->LoggedIn()) return false;
    TCustomView* source = upload ? other : static_cast<TCustomView*>(this);
    std::vector<TWalkEntry> selected;
    for (int row : source->SelectedRows()) {
        if (!upload) {
            selected.push_back(WalkEntry(row));
            continue;
        }
        TWalkEntry entry;
        entry.Name = QFile::encodeName(source->ItemName(row));
        entry.IsFolder = source->IsFolder(row);
        entry.IsLink = source->IsLink(row);
        entry.Size = source->ItemSize(row);
        entry.Date = source->ItemDate(row);
        const QFileInfo info(source->ItemPath(row));
        entry.IsRegular = info.isDir() || info.isFile();
        selected.push_back(entry);
    }
    if (selected.empty()) return true;
    QueueTransfers(selected, QFile::encodeName(other->Folder()), upload,
                   dynamic_cast<ITransferView*>(other));
    return true;
}

void THostView::QueueTransfers(const std::vector<TWalkEntry>& chosen, const QByteArray& localFolder,
                               bool upload, ITransferView* otherView) {
    std::vector<TWalkEntry> selected = chosen;
    if (upload && UploadsFilesOnly)
        std::erase_if(selected, [](const TWalkEntry& entry) { return entry.IsFolder; });
    if (!TransferQuestions_ && !OwnTransferQuestions_)
        OwnTransferQuestions_ = std::make_unique<TTransferQuestions>(this);
    TQueueBuilder::TConnection connection;
    connection.Host = Session()->Host;
    connection.Port = Session()->Port;
    connection.User = Session()->User;
    connection.Password = Session()->Password;
    connection.Account = Session()->Account;
    connection.Security = Session()->Security;
    connection.UseFirewall = Browser_->UsesFirewall;
    connection.ServerResumes = Session()->ResumeSupported();
    connection.ServerKeepsLF = ServerKeepsLF(Session()->ServerType());
    TTransferItems* queue = Queue();
    TQueueBuilder builder(Browser_->Settings(),
                          TransferQuestions_ ? TransferQuestions_ : OwnTransferQuestions_.get(),
                          connection, *queue);
    builder.NameCharset = Browser_->NameCharset;
    builder.OnLog = [this](const QString& text, TColor color) {
        if (OnLog) OnLog(this, text, color);
    };
    TLocalFolderSource local;
    THostFolderSource remote(*Browser_);
    Queueing_ = true;
    if (upload) {
        builder.SetViews(otherView, this);
        builder.Upload(selected, localFolder, Browser_->Folder(), local, remote);
    } else {
        builder.SetViews(this, otherView);
        builder.Download(selected, Browser_->Folder(), localFolder, remote, local);
    }
    Queueing_ = false;
    queue->ProcessNext();
}

bool THostView::ReceiveFrom(TCustomView* source) {
    return BuildTransfers(source, true);
}

bool THostView::TransferTo(TCustomView* destination) {
    return BuildTransfers(destination, false);
}

void THostView::ViewFiles(int reason, TCustomView* target) {
    Browser_->ViewFiles(reason, target ? target->Folder() : QString(), SelectedEntries());
}

int THostView::MoveSelected(const QString& destination) {
    return Browser_->MoveItems(SelectedEntries(), Browser_->PathBytes(destination));
}

bool THostView::DownloadSelectedTo(const QString& localFolder) {
    if (localFolder.isEmpty() || !Session()->LoggedIn()) return false;
    std::vector<TWalkEntry> selected;
    for (int row : SelectedRows())
        selected.push_back(WalkEntry(row));
    if (selected.empty()) return false;
    QString folder = localFolder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    // No view waits for these items: none is shown on that folder, and one made for the
    // purpose would be gone before they end.
    QueueTransfers(selected, QFile::encodeName(folder), false, nullptr);
    return true;
}

QStringList THostView::SelectedLocations(bool urls) const {
    QStringList locations;
    for (int row : SelectedRows())
        locations << (urls ? ItemURLForLog(ItemURL(row)) : ItemPath(row));
    return locations;
}

void THostView::SendFile(TCustomView* source) {
    const QList<int> rows = source ? source->SelectedRows() : QList<int>();
    if (!rows.isEmpty()) Browser_->SendFile(source->ItemPath(rows.first()));
}

void THostView::Paste() {
    if (PasteFromOtherView()) return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    // Another server pane's items cannot come here directly: they go through the local side.
    const bool fromView = data && data->hasFormat(QString::fromLatin1(ViewMimeType));
    if (!fromView && data && data->hasUrls() && DropUrls(data->urls())) return;
    Note(Connected()
             ? QStringLiteral("Nothing to paste here: copy items in the local pane first "
                              "(Ctrl+C), then Ctrl+V here uploads them.")
             : QStringLiteral("Nothing was transferred: the server pane is not connected."));
}

bool THostView::DropUrls(const QList<QUrl>& urls) {
    if (!Session()->LoggedIn()) return false;
    // Files may come from several folders; each folder's files go as one batch.
    std::map<QByteArray, std::vector<TWalkEntry>> byFolder;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (!info.exists()) continue;
        TWalkEntry entry;
        entry.Name = QFile::encodeName(info.fileName());
        entry.IsFolder = info.isDir();
        entry.IsLink = info.isSymLink();
        entry.IsRegular = info.isDir() || info.isFile();
        entry.Size = info.isFile() ? info.size() : 0;
        entry.Date = DayNumberFromDateTime(info.lastModified());
        byFolder[QFile::encodeName(info.absolutePath() + QLatin1Char('/'))].push_back(entry);
    }
    for (const auto& [folder, entries] : byFolder)
        QueueTransfers(entries, folder, true, nullptr);
    return !byFolder.empty();
}

void THostView::AddTransferredItem(TTransferItem&, const QByteArray& folder, double date,
                                   int64_t size, uint16_t attributes, const QByteArray& name) {
    Browser_->AddTransferredItem(folder, date, size, attributes, name);
}
