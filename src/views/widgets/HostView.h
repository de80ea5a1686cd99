#pragma once

#include "transfer/QueueBuilder.h"
#include "transfer/TransferWindows.h"
#include "views/HostBrowser.h"
#include "views/widgets/CustomView.h"

#include <QTimer>

#include <memory>

class ITransferQuestions;
class IViewQuestions;
class TTransferItems;
class TTransferItemsList;
class TRemoteListModel;
class TRemoteSortProxy;
class TTreeCombo;

// The remote pane: draws what its browser reports and turns the user's commands into
// the browser's. All the pane's logic is in THostBrowser.
class THostView : public TCustomView, public ITransferView, public ITransferHostView {
    Q_OBJECT
public:
    explicit THostView(QWidget* parent = nullptr);
    ~THostView() override;

    THostBrowser& Browser() { return *Browser_; }
    TFTPComponent* Session() const { return Browser_->Session(); }
    // Where delete confirmations go; null restores the message boxes.
    void SetQuestions(IViewQuestions* questions);
    // The process-wide list this pane's queue joins (a private one while none is given),
    // and the questions queueing asks (the confirmation dialogs while none are given).
    void SetQueueList(TTransferItemsList* list) { QueueList_ = list; }
    void SetTransferQuestions(ITransferQuestions* questions) { TransferQuestions_ = questions; }
    // The pane's queue, made when first needed and named as the connection is.
    TTransferItems* Queue();
    // Uploads take the selected files only, never a folder's tree (the file dialog).
    bool UploadsFilesOnly = false;
    // The name the connection goes by (the host tab's caption); empty: the host.
    QString ConnectionName;
    // The queue when one was made, else null.
    TTransferItems* ExistingQueue() const { return Queue_.get(); }
    // The folder drop-down this pane fills; cleared when that control goes away.
    void SetTreeCombo(TTreeCombo* tree);
    TTreeCombo* TreeCombo() const { return Tree_; }
    const TRemoteListModel& Model() const { return *Model_; }

    std::function<void(THostView*, const QString& text, TColor color)> OnLog;
    std::function<void(THostView*, const QStringList& fileNames, int reason)> OnTransferred;

    void Connect(const QString& host, int port, const QString& selectMasks,
                 const QString& initialFolder, const QByteArray& user, const QByteArray& password,
                 const QByteArray& account, const TSessionSecurity& security = {});
    void Disconnect() { Browser_->Disconnect(); }
    void Stop() { Browser_->Stop(); }
    bool Connected() const { return Browser_->Connected(); }
    // The raw server name of a row (a link's own name).
    QByteArray ItemRawName(int row) const;
    QString ItemURL(int row) const { return Browser_->ItemURL(ItemRawName(row)); }
    void ViewFiles(int reason, TCustomView* target);
    // "Send To": the selection moved to another folder of the server (see
    // THostBrowser::MoveItems), downloaded into any local folder with no view waiting for
    // the items, or named by full paths or by URLs without the password.
    int MoveSelected(const QString& destination);
    bool DownloadSelectedTo(const QString& localFolder);
    QStringList SelectedLocations(bool urls) const;
    void SendFile(TCustomView* source);

    // TCustomView
    int ItemCount() const override;
    QString ItemName(int row) const override;
    QString ItemPath(int row) const override;
    bool IsFolder(int row) const override;
    bool IsLink(int row) const override;
    int64_t ItemSize(int row) const override;
    double ItemDate(int row) const override;
    QString GetMask() const override { return Browser_->GetMask(); }
    void SetMask(const QString& mask) override;
    bool ReceiveFrom(TCustomView* source) override;
    bool TransferTo(TCustomView* destination) override;
    // Items copied in the local pane, or files copied in a file manager, are uploaded here.
    void Paste() override;
    bool OpenItem(int row) override;
    bool ShowFolder(const QString& path) override;
    bool ShowFolderAndWait(const QString& path) override;
    bool GoUp() override { return Browser_->GoUp(); }
    bool CreateFolder(const QString& name) override;
    bool DeleteSelected() override { return DeleteSelectedItems(true); }
    // Without `ask`, deletes without the confirmation.
    bool DeleteSelectedItems(bool ask);
    bool ShowProperties() override;
    bool Refresh() override { return Browser_->Refresh(); }
    bool RenameItem(int row, const QString& newName) override;

    // ITransferView, ITransferHostView
    void AddTransferredItem(TTransferItem& item, const QByteArray& folder, double date,
                            int64_t size, uint16_t attributes, const QByteArray& name) override;
    TFTPComponent* OwnSession() override { return Browser_->Session(); }
    bool Queueing() const override { return Queueing_; }
    void SetTransfersBusy(bool busy) override { Browser_->TransfersBusy = busy; }

protected:
    bool AcceptsViewDrop() const override { return Connected(); }
    bool AcceptsUrlDrop() const override { return Connected(); }
    bool DropUrls(const QList<QUrl>& urls) override;

private:
    void Shown(const QByteArray& folder, TListingPtr listing);
    void StateChanged(int state);
    void RebuildTree();
    void RenameEdited(int row, const QString& newName);
    QByteArray RawPath(const QString& path) const;
    TRemoteItemList SelectedEntries() const;
    TWalkEntry WalkEntry(int row) const;
    bool BuildTransfers(TCustomView* other, bool upload);
    void QueueTransfers(const std::vector<TWalkEntry>& selected, const QByteArray& localFolder,
                        bool upload, ITransferView* otherView);

    THostBrowser* Browser_ = nullptr;
    TRemoteListModel* Model_ = nullptr;
    TRemoteSortProxy* Proxy_ = nullptr;
    TTreeCombo* Tree_ = nullptr;
    IViewQuestions* Questions_ = nullptr;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    ITransferQuestions* TransferQuestions_ = nullptr;
    std::unique_ptr<ITransferQuestions> OwnTransferQuestions_;
    TTransferItemsList* QueueList_ = nullptr;
    std::unique_ptr<TTransferItemsList> OwnQueueList_;
    std::unique_ptr<TTransferItems> Queue_;
    bool Queueing_ = false;
    QTimer* ProgressDelay_ = nullptr;
    QString ProgressPending_;
};
