#include "FolderSizes.h"

#include "engine/FtpComponent.h"

#include <QTimer>

namespace {

struct TListingRun {
    std::vector<TTransferItem*> Pending; // download items not yet given a size
    bool Passive = false;
    std::function<void()> Done;
    std::unique_ptr<TFTPComponent> Session;
    TTransferItem* Sample = nullptr; // the item whose folder is being listed
    bool FolderFailed = false;

    void Next();
    void Listed(const TRemoteItemList& entries);
    void Finish();
};

bool SameFolder(const TTransferItem& a, const TTransferItem& b) {
    return a.Host == b.Host && a.Port == b.Port && a.User == b.User && a.Password == b.Password &&
           a.Account == b.Account && a.SourceFolder == b.SourceFolder;
}

void TListingRun::Next() {
    if (Pending.empty()) {
        Finish();
        return;
    }
    Sample = Pending.front();
    if (!Session || Session->Host != Sample->Host || Session->Port != Sample->Port ||
        Session->User != Sample->User || Session->Password != Sample->Password) {
        Session = std::make_unique<TFTPComponent>();
        Session->Host = Sample->Host;
        Session->Port = Sample->Port;
        Session->User = Sample->User;
        Session->Password = Sample->Password;
        Session->Account = Sample->Account;
        Session->SetPassive(Passive);
        Session->OnProcessList = [this](TFTPComponent*, const QByteArray&, TRemoteItemList list) {
            Listed(FolderFailed ? TRemoteItemList() : list);
        };
        Session->OnCommandCompleted = [this](TFTPComponent*, TFTPCommand command, bool ok, bool) {
            if (command == TFTPCommand::SetCurrentFolder && !ok)
                FolderFailed = true; // the listing that follows is of another folder
            const bool failedLogIn = !ok && (command == TFTPCommand::Login);
            if (failedLogIn || (command == TFTPCommand::List && !ok))
                QTimer::singleShot(0, [this] { Listed({}); });
        };
        Session->Login();
    }
    FolderFailed = false;
    Session->SetCurrentFolder(Sample->SourceFolder);
    Session->List(Sample->SourceFolder, QByteArray());
}

void TListingRun::Listed(const TRemoteItemList& entries) {
    const TTransferItem* sample = Sample;
    if (!sample) return;
    Sample = nullptr;
    std::vector<TTransferItem*> rest;
    for (TTransferItem* item : Pending) {
        if (!SameFolder(*item, *sample)) {
            rest.push_back(item);
            continue;
        }
        for (const TRemoteListEntry& entry : entries) {
            if (entry.Name == item->FileName && !(entry.Item.Attributes & raFolder)) {
                item->Size = entry.Item.Size;
                item->Date = entry.Item.Date;
                break;
            }
        }
    }
    Pending.swap(rest);
    QTimer::singleShot(0, [this] { Next(); });
}

void TListingRun::Finish() {
    if (!Session || !Session->LoggedIn()) {
        Done();
        delete this;
        return;
    }
    // The transfers start once the listing session has logged out.
    static_cast<TFTPHandlers&>(*Session) = TFTPHandlers();
    Session->OnDisconnect = [this](TFTPComponent*) {
        QTimer::singleShot(0, [this] {
            Done();
            delete this;
        });
    };
    Session->Disconnect();
}

} // namespace

void FillSizesFromListings(std::vector<std::unique_ptr<TTransferItem>>& items, bool passive,
                           std::function<void()> done) {
    auto* run = new TListingRun;
    run->Passive = passive;
    run->Done = std::move(done);
    for (const auto& item : items)
        if (item && !item->Upload && !item->IsHTTP && item->Size == 0)
            run->Pending.push_back(item.get());
    QTimer::singleShot(0, [run] { run->Next(); });
}
