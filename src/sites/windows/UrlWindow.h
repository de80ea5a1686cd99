#pragma once

#include "sites/UrlComposer.h"

#include <QDialog>

#include <memory>

class IViewQuestions;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TTransferItems;
struct TSettings;

// "Connection to URL": an ftp://, ftps:// or http:// URL typed, picked from the history or built
// from its parts; the URL and the parts follow each other while the user types. After
// OK an FTP URL's parts are for the caller to connect with; an HTTP URL is downloaded
// here through a queue after a save dialog, unless the user asked for the caller's viewer.
class TfrmURL : public QDialog {
    Q_OBJECT
public:
    // The anonymous password is the settings' e-mail address; the history is the
    // settings' URL list, reordered on OK. Without questions the window asks with its own
    // message boxes and pickers.
    TfrmURL(TSettings& settings, IViewQuestions* questions, QWidget* parent = nullptr);
    ~TfrmURL() override;

    // Where the save dialog of an HTTP download starts; the current folder when empty.
    void SetDownloadFolder(const QString& folder) { DownloadFolder_ = folder; }
    // The queue HTTP downloads join; the "General" queue when none is set.
    void SetQueue(TTransferItems* queue) { Queue_ = queue; }
    void SetURL(const QString& url);

    // After the window closed: whether OK left a usable URL, and its parts.
    bool Valid() const { return Valid_; }
    bool IsHTTP() const;
    // The user asked for the page in the program's own viewer (HTTP only).
    bool UseViewer() const;
    TSplitURL Parts() const { return Parts_; }
    QString URL() const;
    TURLType Type() const;
    // Why the URL cannot be used; empty when it can or while the host is missing.
    QString Problem() const { return Problem_; }

    void accept() override;
    void reject() override;

private:
    void PartChanged(QObject* source);
    void URLChanged(QObject* source);
    void SetType(TURLType type);
    void UpdateButtons();
    void DownloadHTTP();
    QLineEdit* AddEdit(const char* name, const QString& whatsThis);

    TSettings& Settings_;
    IViewQuestions* Questions_;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    TTransferItems* Queue_ = nullptr;
    QString DownloadFolder_;

    QComboBox* cmboURL_;
    QLineEdit* editUserName_;
    QLineEdit* editPassword_;
    QLineEdit* editHost_;
    QLineEdit* editFolder_;
    QLineEdit* editFileName_;
    QLineEdit* editPort_;
    QRadioButton* ChkHTTP_;
    QRadioButton* ChkFTP_;
    QRadioButton* ChkFTPAn_;
    QCheckBox* cbImplicitTls_;
    QCheckBox* cbUseExplorer_;
    QLabel* lblProblem_;
    QPushButton* btnOK_;

    // Keeps the change handlers of the URL and of the parts from calling each other.
    bool Updating_ = false;
    bool Valid_ = false;
    QString Problem_;
    TSplitURL Parts_;
};
