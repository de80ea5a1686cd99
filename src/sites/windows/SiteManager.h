#pragma once

#include "listing/NameCharset.h"

#include "settings/SiteList.h"

#include <QDialog>

#include <memory>

class IViewQuestions;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
struct TSettings;

// "Session properties": lists the sites of the site list file, edits one at a time,
// creates, saves and deletes them. After "OK" its fields hold the chosen site, from
// which the main window connects. The main window also uses it without showing it:
// SetCurrentSite, LoadSite, then Site().
//
// When dev.ini exists, its predefined site gets a first tab of its own; OK on that tab
// saves it as an ordinary site too.
class TfrmManager : public QDialog {
    Q_OBJECT
public:
    // settings gives the anonymous password (EMail, which an anonymous OK may fill)
    // and the first local folder of a new site (DefaultDir). Without questions the
    // window asks with its own message boxes.
    TfrmManager(const QString& sitesFile, const QString& devFile, TSettings& settings,
                IViewQuestions* questions = nullptr, QWidget* parent = nullptr);
    ~TfrmManager() override;

    // The site the fields belong to: empty for a new site not yet named.
    QString CurrentSite() const { return CurrentSite_; }
    // Puts the name in the site box without loading it.
    void SetCurrentSite(const QString& name);
    // Fills the fields from the file's section of the current site.
    void LoadSite();
    // The fields as they stand, named CurrentSite().
    TSite Site() const;

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The first choice of the name character set: no legacy set.
    static QString AutomaticCharsetText() {
        return QStringLiteral("Automatic (UTF-8, else Latin-1)");
    }
    QWidget* BuildGeneralPage();
    QWidget* BuildAdditionalPage();
    QWidget* BuildNotesPage();
    QWidget* BuildPredefinedPage(const QString& logoFile);
    QLayout* BuildButtons();

    void LoadSites();
    void FillSiteBox(const QString& text);
    void ShowSite(const TSite& site);
    bool SaveSite();
    void NewSite();
    void DeleteSite();
    void SiteTextChanged(const QString& text);
    // An anonymous log-in shows "anonymous" and the e-mail address in clear.
    void ShowAnonymous(QLineEdit* user, QLineEdit* password, bool anonymous);
    void AnonymousToggled(bool checked);
    void PredefinedAnonymousToggled(bool checked);
    void PageChanged(int index);
    // Implicit TLS has a port of its own: 21 becomes 990 on choosing it, and back.
    void EncryptionChanged(int index);
    void TakePredefined();
    void Browse(QLineEdit* target);
    void UpdateDelete();
    bool PredefinedActive() const;

    TSiteList Sites_;
    TSettings& Settings_;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    IViewQuestions* Questions_;
    QString CurrentSite_;
    bool Shown_ = false;

    QTabWidget* Pages_ = nullptr;
    QWidget* PredefinedPage_ = nullptr;
    QWidget* GeneralPage_ = nullptr;
    QWidget* AdditionalPage_ = nullptr;
    QComboBox* SiteBox_ = nullptr;
    QLineEdit* Host_ = nullptr;
    QLineEdit* User_ = nullptr;
    QLineEdit* Password_ = nullptr;
    QCheckBox* Anonymous_ = nullptr;
    QPushButton* Delete_ = nullptr;
    QLineEdit* HostFolder_ = nullptr;
    QLineEdit* Port_ = nullptr;
    QCheckBox* UseFirewall_ = nullptr;
    QComboBox* Encryption_ = nullptr;
    QComboBox* Charset_ = nullptr;
    TEncryption ShownEncryption_ = TEncryption::None;
    QLineEdit* LocalFolders_[3] = {};
    QPlainTextEdit* Notes_ = nullptr;
    QLineEdit* HostPred_ = nullptr;
    QLineEdit* UserPred_ = nullptr;
    QLineEdit* PasswordPred_ = nullptr;
    QCheckBox* AnonymousPred_ = nullptr;
};
