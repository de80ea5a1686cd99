#include "views/widgets/LocalView.h"

#include "listing/FtpUtils.h"
#include "listing/ListingParser.h"
#include "listing/RemoteItem.h"
#include "views/ViewFormat.h"
#include "views/widgets/LocalFolderModel.h"
#include "views/widgets/Properties.h"
#include "views/widgets/TreeCombo.h"
#include "views/widgets/ViewQuestions.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>

namespace {
// A run of many small files rereads the folder at most this often.
constexpr qint64 TransferRefreshMs = 500;

uint16_t PermissionBits(const QFileInfo& info) {
    constexpr struct {
        QFileDevice::Permission Permission;
        uint16_t Bit;
    } Bits[] = {
        {QFileDevice::ReadOwner, raOwnerRead},    {QFileDevice::WriteOwner, raOwnerWrite},
        {QFileDevice::ExeOwner, raOwnerExecute},  {QFileDevice::ReadGroup, raGroupRead},
        {QFileDevice::WriteGroup, raGroupWrite},  {QFileDevice::ExeGroup, raGroupExecute},
        {QFileDevice::ReadOther, raOthersRead},   {QFileDevice::WriteOther, raOthersWrite},
        {QFileDevice::ExeOther, raOthersExecute},
    };
    const QFileDevice::Permissions permissions = info.permissions();
    uint16_t bits = 0;
    for (const auto& entry : Bits) {
        if (permissions & entry.Permission) bits |= entry.Bit;
    }
    return bits;
}
} // namespace

TLocalView::TLocalView(QWidget* parent)
    : TCustomView(parent), Model_(new TLocalFolderModel(this)), Sort_(new TLocalSortModel(this)),
      OwnQuestions_(std::make_unique<TViewQuestions>(this)), Browser_(OwnQuestions_.get()) {
    SetSeparator(QLatin1Char('/'));
    Sort_->setDynamicSortFilter(true);
    SetModels(Model_, Sort_);
    Sort_->sort(TLocalFolderModel::colName, Qt::AscendingOrder);

    // An edited name is applied once the editor has let go of its row, since the
    // rename rereads the folder and so replaces the row.
    Model_->RenameHandler = [this](int row, const QString& name) {
        const QString old = ItemName(row);
        QMetaObject::invokeMethod(
            this,
            [this, old, name] {
                const int current = Model_->RowOfName(old);
                if (current >= 0) RenameItem(current, name);
            },
            Qt::QueuedConnection);
        return true;
    };
    connect(Model_, &TLocalFolderModel::FolderUnreadable, this, &TLocalView::FolderLost);
    Browser_.OnFileChanging = [this](const QString& path) {
        if (OnFileChanging) OnFileChanging(this, path);
    };

    // Changes on disk arrive as several row changes; the status follows them once.
    auto* status = new QTimer(this);
    status->setSingleShot(true);
    status->setInterval(0);
    connect(status, &QTimer::timeout, this, [this] {
        InvalidateTotal();
        UpdateStatus();
        ShowFreeSpace(); // a file that grew or went took from or gave back to the disk
    });
    const auto later = [status] { status->start(); };
    connect(Model_, &QAbstractItemModel::rowsInserted, status, later);
    connect(Model_, &QAbstractItemModel::rowsRemoved, status, later);
    connect(Model_, &QAbstractItemModel::dataChanged, status, later);

    TransferRefresh_ = new QTimer(this);
    TransferRefresh_->setSingleShot(true);
    connect(TransferRefresh_, &QTimer::timeout, this, [this] {
        LastTransferRefresh_.start();
        Refresh();
    });
}

TLocalView::~TLocalView() {
    if (Combo_) Combo_->OnPathChosen = nullptr;
}

void TLocalView::SetQuestions(IViewQuestions* questions) {
    Questions_ = questions;
    Browser_.SetQuestions(&Questions());
}

IViewQuestions& TLocalView::Questions() {
    return Questions_ ? *Questions_ : *OwnQuestions_;
}

void TLocalView::Tell(const QString& text) {
    Questions().ShowMessage(text);
}

int TLocalView::RowOfName(const QString& name) const {
    return Model_->RowOfName(name);
}

void TLocalView::SetShowHidden(bool show) {
    Model_->SetShowHidden(show);
}

bool TLocalView::ShowHidden() const {
    return Model_->ShowHidden();
}

QString TLocalView::GetMask() const {
    const QStringList masks = Sort_->Masks();
    return masks.isEmpty() ? QStringLiteral("*.*") : masks.join(QLatin1Char(';'));
}

void TLocalView::SetMask(const QString& mask) {
    TCustomView::SetMask(mask);
    QStringList masks;
    for (const QString& part : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty()) masks.append(part.trimmed());
    }
    if (masks == QStringList{QStringLiteral("*.*")} || masks == QStringList{QStringLiteral("*")})
        masks.clear();
    Sort_->SetMasks(masks);
    InvalidateTotal();
    UpdateStatus();
}

int TLocalView::ItemCount() const {
    return Model_->rowCount();
}

QString TLocalView::ItemName(int row) const {
    return Model_->Entry(row).Name;
}

QString TLocalView::ItemPath(int row) const {
    return Model_->Entry(row).Path;
}

bool TLocalView::IsFolder(int row) const {
    return Model_->Entry(row).IsFolder;
}

bool TLocalView::IsLink(int row) const {
    return Model_->Entry(row).IsLink;
}

int64_t TLocalView::ItemSize(int row) const {
    return Model_->Entry(row).Size;
}

double TLocalView::ItemDate(int row) const {
    const QDateTime time = Model_->Entry(row).Modified.toLocalTime();
    if (!time.isValid()) return 0;
    const QDate date = time.date();
    return SafeEncodeDateTime(date.year(), date.month(), date.day(), time.time().hour(),
                              time.time().minute(), date.year());
}

bool TLocalView::ReceiveFrom(TCustomView* source) {
    Q_UNUSED(source);
    return false;
}

bool TLocalView::OpenItem(int row) {
    if (row < 0 || row >= ItemCount() || !IsFolder(row)) return false;
    return ShowFolder(ItemPath(row));
}

bool TLocalView::ShowFolder(const QString& path) {
    if (path.isEmpty()) return false;
    // A relative path is taken from the shown folder.
    const QDir base(Model_->FolderPath().isEmpty() ? QDir::currentPath() : Model_->FolderPath());
    const QString folder = QDir::cleanPath(base.absoluteFilePath(path));
    const QString before = Model_->FolderPath();
    if (!Model_->SetFolder(folder)) return false;
    if (folder != before) {
        FolderShown();
    } else {
        InvalidateTotal();
        UpdateStatus();
    }
    return true;
}

void TLocalView::FolderShown() {
    const QString folder = Model_->FolderPath();
    TCustomView::SetFolder(folder);
    ShowFreeSpace();
    FillTreeCombo();
    if (OnFolderChanged) OnFolderChanged(this);
}

void TLocalView::ShowFreeSpace() {
    const QStorageInfo storage(Model_->FolderPath());
    SetPanelText(3, storage.isValid() && storage.isReady() ? FreeSpaceText(storage.bytesAvailable())
                                                           : QString());
}

// The shown folder went away or was closed: show the nearest folder above that opens.
void TLocalView::FolderLost() {
    QString path = Model_->FolderPath();
    for (int depth = 0; depth < 4096 && path != QStringLiteral("/"); ++depth) {
        path = QFileInfo(path).path();
        if (ShowFolder(path)) return;
    }
}

bool TLocalView::GoUp() {
    const QString child = Model_->FolderPath();
    if (child.isEmpty() || child == QStringLiteral("/")) return false;
    if (!ShowFolder(QFileInfo(child).path())) return false;
    // Coming back up, the folder just left is the one selected.
    const int row = RowOfName(QFileInfo(child).fileName());
    if (row >= 0) {
        SelectRows({row});
        ListView()->scrollTo(ListView()->currentIndex());
    }
    return true;
}

bool TLocalView::CreateFolder(const QString& name) {
    if (!Browser_.CreateFolder(Model_->FolderPath(), name)) return false;
    Refresh();
    SelectName(name);
    return true;
}

bool TLocalView::RenameItem(int row, const QString& newName) {
    if (row < 0 || row >= ItemCount()) return false;
    const bool renamed = Browser_.Rename(Model_->FolderPath(), ItemName(row), newName);
    Refresh();
    if (renamed) SelectName(newName);
    return renamed;
}

bool TLocalView::DeleteSelected() {
    QStringList names;
    for (int row : SelectedRows())
        names.append(ItemName(row));
    if (names.isEmpty()) return false;
    const bool deleted = Browser_.Delete(Model_->FolderPath(), names);
    Refresh();
    return deleted;
}

void TLocalView::SelectName(const QString& name) {
    const int row = RowOfName(name);
    if (row >= 0) SelectRows({row});
}

bool TLocalView::ShowProperties() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return false;
    QList<TPropertiesRecord> records;
    for (int row : rows) {
        TPropertiesRecord record;
        record.Name = ItemName(row);
        record.TypeText = Model_->TypeText(row);
        record.Icon = Model_->Icon(row);
        record.IsFolder = IsFolder(row);
        record.Size = ItemSize(row);
        record.Date = ItemDate(row);
        record.Attributes = PermissionBits(QFileInfo(ItemPath(row)));
        if (record.IsFolder) record.Attributes |= raFolder;
        if (IsLink(row)) record.Attributes |= raLink;
        records.append(record);
    }
    TfrmProperties window(records, Folder(), Seperator(), false, this);
    window.exec();
    return true;
}

void TLocalView::PutOnClipboard(bool cut) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (int row : SelectedRows())
        urls.append(QUrl::fromLocalFile(ItemPath(row)));
    // The addresses themselves come with the view's own formats (FillDragData).
    TLocalBrowser::MarkCopiedFiles(*data, urls, cut);
    PutSelectionOnClipboard(data);
}

void TLocalView::CutSelected() {
    PutOnClipboard(true);
}

void TLocalView::CopySelected() {
    PutOnClipboard(false);
}

void TLocalView::Paste() {
    if (PasteFromOtherView()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (Model_->FolderPath().isEmpty()) return;
    if (!data || !data->hasUrls()) {
        TCustomView::Paste();
        return;
    }
    const bool cut = TLocalBrowser::CopiedFilesAreCut(*data);
    const bool pasted = Browser_.Paste(Model_->FolderPath(), data->urls(), cut);
    // Moved items are gone from where the clipboard says they are.
    if (cut && pasted) clipboard->clear();
    Refresh();
}

bool TLocalView::Refresh() {
    if (!Model_->Reread()) {
        FolderLost();
        return false;
    }
    InvalidateTotal();
    UpdateStatus();
    ShowFreeSpace();
    return true;
}

void TLocalView::AddTransferredItem(TTransferItem& item, const QByteArray& folder, double date,
                                    int64_t size, uint16_t attributes, const QByteArray& name) {
    Q_UNUSED(item);
    Q_UNUSED(date);
    Q_UNUSED(size);
    Q_UNUSED(attributes);
    Q_UNUSED(name);
    TransferredInto(folder);
}

void TLocalView::TransferEnded(const QByteArray& folder) {
    TransferredInto(folder);
}

void TLocalView::TransferredInto(const QByteArray& folder) {
    if (!folder.isEmpty() && QDir::cleanPath(QFile::decodeName(folder)) != Model_->FolderPath())
        return;
    if (TransferRefresh_->isActive()) return; // the coming reread shows this item too
    // The watcher would show the file shortly and the free space not at all; reading now
    // shows both at once.
    const qint64 since =
        LastTransferRefresh_.isValid() ? LastTransferRefresh_.elapsed() : TransferRefreshMs;
    if (since >= TransferRefreshMs) {
        LastTransferRefresh_.start();
        Refresh();
    } else {
        TransferRefresh_->start(static_cast<int>(TransferRefreshMs - since));
    }
}

void TLocalView::FillDragData(QMimeData& data, const QList<int>& rows) const {
    QList<QUrl> urls;
    for (int row : rows)
        urls.append(QUrl::fromLocalFile(ItemPath(row)));
    data.setUrls(urls);
}

void TLocalView::SetTreeCombo(TTreeCombo* combo) {
    if (Combo_) Combo_->OnPathChosen = nullptr;
    Combo_ = combo;
    if (!combo) return;
    combo->SetRootCaption(QStringLiteral("/"));
    // A pick from the tree or a typed path: "~" is the home folder, a relative path is
    // taken from the folder shown. The list takes the focus, to go on from there.
    combo->OnPathChosen = [this](const QString& chosen) {
        QString path = chosen;
        if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/")))
            path = QDir::homePath() + path.mid(1);
        if (ShowFolder(path)) {
            ListView()->setFocus(Qt::OtherFocusReason);
            return;
        }
        const QFileInfo info(QDir(Model_->FolderPath()).absoluteFilePath(path));
        const QString shown = QDir::cleanPath(info.absoluteFilePath());
        if (!info.exists())
            Tell(QStringLiteral("The folder %1 does not exist.").arg(shown));
        else if (!info.isDir())
            Tell(QStringLiteral("%1 is not a folder.").arg(shown));
        else
            Tell(QStringLiteral("The folder %1 cannot be opened.").arg(shown));
        FillTreeCombo();
    };
    FillTreeCombo();
}

void TLocalView::FillTreeCombo() {
    if (!Combo_ || Model_->FolderPath().isEmpty()) return;
    Combo_->Clear();
    Combo_->AddPath(Model_->FolderPath(), QLatin1Char('/'), false);
    Combo_->SetCurrentPath(Model_->FolderPath());
}
