#include "sites/windows/SiteManager.h"

#include "app/Help.h"
#include "settings/Settings.h"
#include "views/widgets/ViewQuestions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

TfrmManager::TfrmManager(const QString& sitesFile, const QString& devFile, TSettings& settings,
                         IViewQuestions* questions, QWidget* parent)
    : QDialog(parent), Sites_(sitesFile, devFile), Settings_(settings), Questions_(questions) {
    setWindowTitle(QStringLiteral("Session properties"));
    SetHelpContext(this, hcSiteManager);
    if (!Questions_) {
        OwnQuestions_ = std::make_unique<TViewQuestions>(this);
        Questions_ = OwnQuestions_.get();
    }
    Sites_.SetEMail(Settings_.EMail);

    Pages_ = new QTabWidget(this);
    Pages_->setObjectName(QStringLiteral("pgSite"));
    if (Sites_.HasPredefinedSite()) {
        const TPredefinedSite predefined = Sites_.LoadPredefinedSite();
        PredefinedPage_ = BuildPredefinedPage(
            QFileInfo(devFile).absoluteDir().filePath(QStringLiteral("logo.gif")));
        Pages_->addTab(PredefinedPage_, predefined.Name);
        HostPred_->setText(predefined.Host);
        UserPred_->setText(predefined.User);
        PasswordPred_->setText(predefined.Password);
        AnonymousPred_->setChecked(predefined.Anonymous);
        PredefinedAnonymousToggled(predefined.Anonymous);
        connect(AnonymousPred_, &QCheckBox::toggled, this,
                &TfrmManager::PredefinedAnonymousToggled);
    }
    GeneralPage_ = BuildGeneralPage();
    AdditionalPage_ = BuildAdditionalPage();
    Pages_->addTab(GeneralPage_, QStringLiteral("General"));
    Pages_->addTab(AdditionalPage_, QStringLiteral("Additional"));
    Pages_->addTab(BuildNotesPage(), QStringLiteral("Notes"));
    if (PredefinedPage_) {
        // What is typed on the predefined tab is what OK connects with.
        connect(UserPred_, &QLineEdit::textEdited, User_, &QLineEdit::setText);
        connect(PasswordPred_, &QLineEdit::textEdited, Password_, &QLineEdit::setText);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages_);
    layout->addLayout(BuildButtons());

    LoadSites();
    connect(SiteBox_, &QComboBox::editTextChanged, this, &TfrmManager::SiteTextChanged);
    connect(Anonymous_, &QCheckBox::toggled, this, &TfrmManager::AnonymousToggled);
    Pages_->setCurrentIndex(0);
    connect(Pages_, &QTabWidget::currentChanged, this, &TfrmManager::PageChanged);
}

TfrmManager::~TfrmManager() = default;

void TfrmManager::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Shown_) return;
    Shown_ = true;
    PageChanged(Pages_->currentIndex());
    if (PredefinedActive())
        UserPred_->setFocus();
    else
        SiteBox_->setFocus();
}

bool TfrmManager::PredefinedActive() const {
    return PredefinedPage_ && Pages_->currentWidget() == PredefinedPage_;
}

void TfrmManager::LoadSites() {
    Sites_.LoadSites();
    const QString last = Sites_.LastSite();
    if (last.isEmpty()) {
        FillSiteBox(QString());
        NewSite();
        return;
    }
    SetCurrentSite(last);
    LoadSite();
}

void TfrmManager::FillSiteBox(const QString& text) {
    const QSignalBlocker blocker(SiteBox_);
    SiteBox_->clear();
    SiteBox_->addItems(Sites_.Sites());
    SiteBox_->setCurrentIndex(Sites_.Sites().indexOf(text));
    SiteBox_->setEditText(text);
}

void TfrmManager::SetCurrentSite(const QString& name) {
    const QString listed = Sites_.ListedName(name);
    CurrentSite_ = listed.isEmpty() ? name : listed;
    FillSiteBox(CurrentSite_);
    UpdateDelete();
}

void TfrmManager::LoadSite() {
    if (!CurrentSite_.isEmpty()) ShowSite(Sites_.LoadSite(CurrentSite_));
}

void TfrmManager::ShowSite(const TSite& site) {
    Host_->setText(site.Host);
    {
        const QSignalBlocker blocker(Anonymous_);
        Anonymous_->setChecked(site.Anonymous);
    }
    Password_->setEchoMode(site.Anonymous ? QLineEdit::Normal : QLineEdit::Password);
    User_->setText(site.User);
    Password_->setText(site.Password);
    HostFolder_->setText(site.HostFolder);
    Port_->setText(site.Port);
    UseFirewall_->setChecked(site.UseFirewall);
    {
        // A loaded site's port stays as stored.
        const QSignalBlocker blocker(Encryption_);
        Encryption_->setCurrentIndex(int(site.Encryption));
        ShownEncryption_ = site.Encryption;
    }
    Charset_->setCurrentText(site.NameCharset.isEmpty() ? AutomaticCharsetText()
                                                        : site.NameCharset);
    LocalFolders_[0]->setText(site.LocalFolder1);
    LocalFolders_[1]->setText(site.LocalFolder2);
    LocalFolders_[2]->setText(site.LocalFolder3);
    Notes_->setPlainText(site.Notes.join(QLatin1Char('\n')));
}

TSite TfrmManager::Site() const {
    TSite site;
    site.Name = CurrentSite_;
    site.Host = Host_->text();
    site.Anonymous = Anonymous_->isChecked();
    site.User = User_->text();
    site.Password = Password_->text();
    site.HostFolder = HostFolder_->text();
    site.Port = Port_->text();
    site.UseFirewall = UseFirewall_->isChecked();
    site.Encryption = TEncryption(std::max(0, Encryption_->currentIndex()));
    const QString charset = Charset_->currentText().trimmed();
    if (charset != AutomaticCharsetText()) site.NameCharset = charset;
    site.LocalFolder1 = LocalFolders_[0]->text();
    site.LocalFolder2 = LocalFolders_[1]->text();
    site.LocalFolder3 = LocalFolders_[2]->text();
    const QString notes = Notes_->toPlainText();
    if (!notes.isEmpty()) site.Notes = notes.split(QLatin1Char('\n'));
    return site;
}

void TfrmManager::EncryptionChanged(int index) {
    const TEncryption chosen = TEncryption(std::max(0, index));
    const bool toImplicit = chosen == TEncryption::Implicit;
    const bool fromImplicit = ShownEncryption_ == TEncryption::Implicit;
    ShownEncryption_ = chosen;
    const std::optional<quint16> port = SitePort(Port_->text());
    if (toImplicit && !fromImplicit && (Port_->text().trimmed().isEmpty() || port == 21))
        Port_->setText(QStringLiteral("990"));
    else if (fromImplicit && !toImplicit && port == 990)
        Port_->setText(QStringLiteral("21"));
}

void TfrmManager::SiteTextChanged(const QString& text) {
    // Only a listed name loads: a new name being typed keeps the fields typed so far.
    const QString listed = Sites_.ListedName(text);
    CurrentSite_ = listed.isEmpty() ? text : listed;
    if (!listed.isEmpty()) LoadSite();
    UpdateDelete();
}

void TfrmManager::UpdateDelete() {
    Delete_->setEnabled(!Sites_.ListedName(CurrentSite_).isEmpty());
}

bool TfrmManager::SaveSite() {
    QString error;
    if (PredefinedActive()) {
        TPredefinedSite predefined;
        predefined.Name = Pages_->tabText(Pages_->indexOf(PredefinedPage_));
        predefined.Host = HostPred_->text();
        predefined.Anonymous = AnonymousPred_->isChecked();
        predefined.User = UserPred_->text();
        predefined.Password = PasswordPred_->text();
        if (!Sites_.SavePredefinedSite(predefined, &error)) {
            Questions_->ShowMessage(error);
            return false;
        }
    }
    if (CurrentSite_.isEmpty()) return true;
    if (!Sites_.SaveSite(Site(), &error)) {
        Questions_->ShowMessage(error);
        return false;
    }
    SetCurrentSite(CurrentSite_);
    return true;
}

void TfrmManager::NewSite() {
    Pages_->setCurrentWidget(GeneralPage_);
    CurrentSite_.clear();
    FillSiteBox(QString());
    ShowSite(TSiteList::NewSite(Settings_.DefaultDir));
    SiteBox_->setFocus();
    UpdateDelete();
}

void TfrmManager::DeleteSite() {
    const QString name = Sites_.ListedName(CurrentSite_);
    if (name.isEmpty() ||
        !Questions_->AskYesNo(
            QStringLiteral("Are you sure you want to delete the %1 site?").arg(name)))
        return;
    QString error;
    if (!Sites_.DeleteSite(name, &error)) {
        Questions_->ShowMessage(error);
        return;
    }
    if (Sites_.Sites().isEmpty()) {
        NewSite();
        return;
    }
    SetCurrentSite(Sites_.Sites().first());
    LoadSite();
}

void TfrmManager::ShowAnonymous(QLineEdit* user, QLineEdit* password, bool anonymous) {
    password->setEchoMode(anonymous ? QLineEdit::Normal : QLineEdit::Password);
    if (!anonymous) return;
    user->setText(QStringLiteral("anonymous"));
    password->setText(Settings_.EMail);
}

void TfrmManager::AnonymousToggled(bool checked) {
    ShowAnonymous(User_, Password_, checked);
}

void TfrmManager::PredefinedAnonymousToggled(bool checked) {
    ShowAnonymous(UserPred_, PasswordPred_, checked);
    if (Anonymous_) Anonymous_->setChecked(checked);
}

void TfrmManager::PageChanged(int index) {
    if (PredefinedPage_ && Pages_->widget(index) == PredefinedPage_) TakePredefined();
}

void TfrmManager::TakePredefined() {
    TPredefinedSite predefined;
    predefined.Name = Pages_->tabText(Pages_->indexOf(PredefinedPage_));
    predefined.Host = HostPred_->text();
    predefined.Anonymous = AnonymousPred_->isChecked();
    predefined.User = UserPred_->text();
    predefined.Password = PasswordPred_->text();
    const TSite site = Sites_.SiteFromPredefined(predefined, Settings_.DefaultDir);
    CurrentSite_ = site.Name;
    FillSiteBox(site.Name);
    ShowSite(site);
    UpdateDelete();
}

void TfrmManager::Browse(QLineEdit* target) {
    const QString folder =
        Questions_->PickFolder(QStringLiteral("Select a directory"), LocalFolders_[0]->text());
    if (!folder.isEmpty()) target->setText(folder);
}

void TfrmManager::accept() {
    if (PredefinedActive()) TakePredefined();
    if (Host_->text().isEmpty()) {
        Questions_->ShowMessage(QStringLiteral("Host field cannot be empty"));
        return;
    }
    if (User_->text().isEmpty()) {
        Questions_->ShowMessage(QStringLiteral("UserID field cannot be empty"));
        return;
    }
    // Checked here as well, since an unnamed site is not saved but is connected to.
    if (!SitePort(Port_->text())) {
        Questions_->ShowMessage(SitePortError());
        if (!PredefinedActive()) Pages_->setCurrentWidget(AdditionalPage_);
        Port_->setFocus();
        return;
    }
    if (!SaveSite()) return;
    if (Anonymous_->isChecked() && !Password_->text().isEmpty() && Settings_.EMail.isEmpty())
        Settings_.EMail = Password_->text();
    QDialog::accept();
}
