#pragma once

#include "engine/EngineSettings.h"
#include "engine/Tls.h"
#include "listing/NameCharset.h"
#include "transfer/TransferQuestions.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ITransferView;
class TTransferItems;
struct TSettings;

// One entry of a folder as a walk sees it: exact name bytes, unfiltered.
struct TWalkEntry {
    QByteArray Name;
    bool IsFolder = false;
    bool IsLink = false;
    // False for FIFOs, devices and sockets, which are never sent.
    bool IsRegular = true;
    int64_t Size = 0;
    double Date = 0; // day number, seconds dropped
};

// One end of a transfer that can be listed: the local disk or a server. Walks work on
// these listings, never on what a pane happens to show.
class IFolderSource {
public:
    virtual ~IFolderSource() = default;
    // The folder's entries; false when it cannot be listed.
    virtual bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) = 0;
    virtual char Separator() const = 0;
    // A folder as transfer items name it (a server's own form of a view path).
    virtual QByteArray ItemFolder(const QByteArray& folder) const { return folder; }
};

// The local disk: lstat semantics, so links are seen as links and never walked.
class TLocalFolderSource : public IFolderSource {
public:
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override;
    char Separator() const override { return '/'; }
};

// Another source with each folder listed at most once: one command's walks and look-ups
// over many files of one folder ask the server (or the disk) only the first time. A
// folder that could not be listed is not asked again either. Made per command, so that
// the next command sees what changed.
class TListedFolders : public IFolderSource {
public:
    explicit TListedFolders(IFolderSource& source) : Source_(source) {}
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override;
    char Separator() const override { return Source_.Separator(); }
    QByteArray ItemFolder(const QByteArray& folder) const override {
        return Source_.ItemFolder(folder);
    }
    // The folder's entry of that name; nothing when the folder cannot be listed or has
    // no such entry.
    std::optional<TWalkEntry> Entry(const QByteArray& folder, const QByteArray& name);

private:
    struct TListing {
        std::vector<TWalkEntry> Entries;
        QHash<QByteArray, size_t> ByName; // the first entry of each name
    };
    // Null for a folder that could not be listed.
    const TListing* Listing(const QByteArray& folder);
    IFolderSource& Source_;
    QHash<QByteArray, std::shared_ptr<const TListing>> Listed_;
};

// The answers "to all" of one command, shared by every level of its walk.
struct TDecisionFlags {
    bool OverwriteToAll = false;
    bool OverwriteYesToAll = false;
    bool RestartToAll = false;
    bool RestartYesToAll = false;
};

enum TExistingAction { eaSkip, eaFromStart, eaResume };

// What to do with an existing destination file, asking when the settings say so.
// Without questions (null) the answer is "skip" wherever one would be asked. A skip
// names its reason in `why` (for the log line every skip gets).
TExistingAction DecideExisting(const TExistingFile& file, const TSettings& settings,
                               TDecisionFlags& flags, ITransferQuestions* questions,
                               QString* why = nullptr);

// Builds the transfer items of one command: files and, depth first, folders; existing
// destination files decided for every destination folder of the walk.
class TQueueBuilder {
public:
    // The connection every item of the command uses.
    struct TConnection {
        QString Host;
        int Port = 21;
        QByteArray User, Password, Account;
        bool UseFirewall = false;
        bool ServerResumes = false;
        TSessionSecurity Security;
        bool ServerKeepsLF = false;
    };

    TQueueBuilder(const TSettings& settings, ITransferQuestions* questions,
                  const TConnection& connection, TTransferItems& queue);

    // Without questions: what an existing file gets instead of a question.
    enum TUnattended { unSkip, unOverwrite, unResume };
    void SetUnattended(TUnattended mode) { Unattended_ = mode; }
    // Only files whose source is newer than the existing destination file.
    void SetNewerOnly(bool on) { NewerOnly_ = on; }
    void SetViews(ITransferView* source, ITransferView* destination) {
        SourceView_ = source;
        DestView_ = destination;
    }
    std::function<void(const QString& text, TColor color)> OnLog;
    // How the server's names read in the questions asked about them.
    TNameCharset NameCharset;

    // Entries of `sourceFolder` sent into `destFolder` (both ending with their separators).
    void Upload(const std::vector<TWalkEntry>& selected, const QByteArray& sourceFolder,
                const QByteArray& destFolder, IFolderSource& local, IFolderSource& remote);
    void Download(const std::vector<TWalkEntry>& selected, const QByteArray& sourceFolder,
                  const QByteArray& destFolder, IFolderSource& remote, IFolderSource& local);

    int Queued() const { return Queued_; }
    int Skipped() const { return Skipped_; }
    // Destination files left as they were because nobody could be asked.
    int SkippedExisting() const { return SkippedExisting_; }
    // Source folders that could not be listed or lay too deep (their files are missing),
    // and names no command can carry.
    int Failed() const { return Failed_; }

    // Walks stop this deep: a server that nests folders forever cannot hold the walk.
    static constexpr int MaxDepth = 64;

private:
    void Walk(const std::vector<TWalkEntry>& selected, const QByteArray& sourceFolder,
              const QByteArray& destFolder, IFolderSource& source, IFolderSource& dest, bool upload,
              int depth);
    bool DestinationEntries(IFolderSource& dest, const QByteArray& folder,
                            QHash<QByteArray, TWalkEntry>& byName);
    void AddItem(const TWalkEntry& entry, const QByteArray& sourceFolder,
                 const QByteArray& destFolder, const QByteArray& destName, int64_t offset,
                 bool upload, bool folder, IFolderSource& source, IFolderSource& dest);
    bool Decide(const TWalkEntry& source, const TWalkEntry& existing, const QByteArray& destName,
                bool upload, int64_t& offset);
    void Log(const QString& text, bool error);

    const TSettings& Settings_;
    ITransferQuestions* Questions_;
    TConnection Connection_;
    TTransferItems& Queue_;
    ITransferView* SourceView_ = nullptr;
    ITransferView* DestView_ = nullptr;
    TUnattended Unattended_ = unSkip;
    bool NewerOnly_ = false;
    TDecisionFlags Flags_;
    // Names this command has already queued per destination folder, so that two
    // uploads converted to one name are asked about like an existing file.
    QHash<QByteArray, TWalkEntry> Claimed_;
    int Queued_ = 0;
    int Skipped_ = 0;
    int SkippedExisting_ = 0;
    int Failed_ = 0;
};
