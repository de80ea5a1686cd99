#pragma once

#include <QDBusAbstractAdaptor>

class TWexmarten;

// com.kelvenar.Marrowby.IWexmarten: the members in their order; the four properties are
// D-Bus properties.
class TWexmartenMembers : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kelvenar.Marrowby.IWexmarten")
    Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
    Q_PROPERTY(QString CurrentFolder READ CurrentFolder WRITE SetCurrentFolder)
    Q_PROPERTY(int DialogAction READ DialogAction WRITE SetDialogAction)
    Q_PROPERTY(QString SaveAsFileName READ SaveAsFileName WRITE SetSaveAsFileName)
public:
    explicit TWexmartenMembers(TWexmarten* object);

    QString Mask();
    void SetMask(const QString& mask);
    QString CurrentFolder();
    void SetCurrentFolder(const QString& folder);
    int DialogAction();
    void SetDialogAction(int action);
    QString SaveAsFileName();
    void SetSaveAsFileName(const QString& name);

public Q_SLOTS:
    void ConnectTo(const QString& Host, int Port, const QString& UserName, const QString& Password,
                   const QString& Account, const QString& Folder);
    void Disconnect();
    void Abort();
    void RefreshFolder();
    void CreateFolder(const QString& FolderName);
    void SelectItem(int Index, bool Selected);
    bool ItemIsSelected(int Index);
    bool ItemIsFolder(int Index);
    QString ItemName(int Index);
    qlonglong ItemSize(int Index);
    double ItemDate(int Index);
    void DeleteSelectedItems(bool Confirm);
    void RenameItem(int Index, const QString& NewName);
    void Upload(const QString& LocalFileName, const QString& DestFileName);
    void Download(const QString& DestinationFolder);
    int ItemCount();
    void Show();
    void Hide();
    void ClearSaveList();
    void AddToSaveList(const QString& FileName);

private:
    TWexmarten& O_;
    bool Shown_ = false;
};

// com.kelvenar.Marrowby.IWexmartenEvents: the ten events, and OnItemFinished, which also
// tells how the item ended (2 done, 3 cancelled, 4 failed) and why it failed.
class TWexmartenEvents : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kelvenar.Marrowby.IWexmartenEvents")
public:
    explicit TWexmartenEvents(TWexmarten* object);

Q_SIGNALS:
    void OnConnected();
    void OnDisconnected();
    void OnLoggedIn();
    void OnLog(const QString& LogString);
    void OnCantLogin();
    void OnItemCompleted(const QString& LocalFileName);
    void OnAllItemsCompleted();
    void OnProgress(int ItemIndex, qlonglong BytesDone, qlonglong BytesTotal);
    void OnCancel();
    void OnAccept();
    void OnItemFinished(const QString& LocalFileName, int State, const QString& ErrorText);
};

// com.kelvenar.Marrowby.Lifecycle: Attach ties the process's life to the caller's
// connection; Release ends it.
class TWexmartenLifecycle : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kelvenar.Marrowby.Lifecycle")
public:
    explicit TWexmartenLifecycle(TWexmarten* object);

public Q_SLOTS:
    void Attach();
    void Release();

private:
    TWexmarten& O_;
};
