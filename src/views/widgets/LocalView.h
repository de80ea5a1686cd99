#pragma once

#include "transfer/TransferWindows.h"
#include "views/LocalBrowser.h"
#include "views/widgets/CustomView.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

class IViewQuestions;
class TLocalFolderModel;
class TLocalSortModel;
class TTreeCombo;

// The local pane: one folder of the local disk, read at once when shown and again when it
// changes on disk. Uploads start from its selection, downloads land in its folder.
class TLocalView : public TCustomView, public ITransferView {
    Q_OBJECT
public:
    explicit TLocalView(QWidget* parent = nullptr);
    ~TLocalView() override;

    // Where delete confirmations and messages go; null restores the message boxes.
    void SetQuestions(IViewQuestions* questions);
    // The folder drop-down: filled with the shown folder's ancestors, a pick shows it.
    void SetTreeCombo(TTreeCombo* combo);
    TLocalFolderModel* Model() const { return Model_; }
    // The source row of the item with this name, or -1.
    int RowOfName(const QString& name) const;
    // Dot files; hidden at creation.
    void SetShowHidden(bool show);
    bool ShowHidden() const;

    QString GetMask() const override;
    void SetMask(const QString& mask) override;

    int ItemCount() const override;
    QString ItemName(int row) const override;
    QString ItemPath(int row) const override;
    bool IsFolder(int row) const override;
    bool IsLink(int row) const override;
    int64_t ItemSize(int row) const override;
    // The modification time in local time, seconds dropped, so it compares with remote
    // dates (which have none).
    double ItemDate(int row) const override;

    bool ReceiveFrom(TCustomView* source) override;
    bool OpenItem(int row) override;
    // False, still showing the previous folder, when the folder cannot be read.
    bool ShowFolder(const QString& path) override;
    bool GoUp() override;
    bool CreateFolder(const QString& name) override;
    bool DeleteSelected() override;
    bool ShowProperties() override;
    void CutSelected() override;
    void CopySelected() override;
    void Paste() override;
    bool Refresh() override;
    // Never replaces an existing item.
    bool RenameItem(int row, const QString& newName) override;

    void AddTransferredItem(TTransferItem& item, const QByteArray& folder, double date,
                            int64_t size, uint16_t attributes, const QByteArray& name) override;
    void TransferEnded(const QByteArray& folder) override;

protected:
    void FillDragData(QMimeData& data, const QList<int>& rows) const override;

private:
    void FolderShown();
    void FolderLost();
    void ShowFreeSpace();
    // Rereads the folder when a transfer into it ended: at once, or at most every
    // TransferRefreshMs while a run ends many items, the last one always included.
    void TransferredInto(const QByteArray& folder);
    void FillTreeCombo();
    void PutOnClipboard(bool cut);
    void SelectName(const QString& name);
    void Tell(const QString& text);
    IViewQuestions& Questions();

    TLocalFolderModel* Model_ = nullptr;
    TLocalSortModel* Sort_ = nullptr;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    IViewQuestions* Questions_ = nullptr;
    TLocalBrowser Browser_;
    QPointer<TTreeCombo> Combo_;
    QTimer* TransferRefresh_ = nullptr;
    QElapsedTimer LastTransferRefresh_;
};
