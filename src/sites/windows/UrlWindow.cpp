#include "sites/windows/UrlWindow.h"

#include "app/Help.h"
#include "settings/Settings.h"
#include "transfer/TransferItemsList.h"
#include "views/widgets/DialogButtons.h"
#include "views/widgets/ViewQuestions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Replaces an edit's text without moving its caret further than the text reaches.
void SetEditText(QLineEdit* edit, const QString& text) {
    if (edit->text() == text) return;
    const int caret = edit->cursorPosition();
    edit->setText(text);
    edit->setCursorPosition(std::min(caret, int(text.size())));
}

} // namespace

TfrmURL::TfrmURL(TSettings& settings, IViewQuestions* questions, QWidget* parent)
    : QDialog(parent), Settings_(settings), Questions_(questions) {
    if (!Questions_) {
        OwnQuestions_ = std::make_unique<TViewQuestions>(this);
        Questions_ = OwnQuestions_.get();
    }
    setWindowTitle(QStringLiteral("Connection to URL"));
    SetHelpContext(this, hcURL);

    cmboURL_ = new QComboBox(this);
    cmboURL_->setObjectName(QStringLiteral("cmboURL"));
    cmboURL_->setEditable(true);
    // The history is reordered on OK only; Enter must not add entries of its own.
    cmboURL_->setInsertPolicy(QComboBox::NoInsert);
    cmboURL_->addItems(Settings_.URLHistory);
    // History is offered in a list under the box, never filled into what is typed: an
    // address that is the start of an older one ("ftp://host:2122/" of ".../big/") must
    // stay as typed.
    if (QCompleter* completer = cmboURL_->completer()) {
        completer->setCompletionMode(QCompleter::PopupCompletion);
        completer->setCaseSensitivity(Qt::CaseSensitive);
    }
    cmboURL_->setMinimumWidth(480);
    cmboURL_->setWhatsThis(QStringLiteral("The address to open, such as ftp://host/pub/, "
                                          "ftps://host/pub/ (encrypted) or "
                                          "http://host/file.zip. The parts below follow it."));
    auto* urlLabel = new QLabel(QStringLiteral("&URL:"), this);
    urlLabel->setBuddy(cmboURL_);

    editUserName_ = AddEdit("editUserName", QStringLiteral("The user to log in as; empty for "
                                                           "an anonymous log-in."));
    editPassword_ = AddEdit("editPassword", QStringLiteral("The password of the user. It is "
                                                           "never kept in the URL history."));
    editPassword_->setEchoMode(QLineEdit::Password);
    editHost_ = AddEdit("editHost", QStringLiteral("The server's name or address. A path "
                                                   "typed after it moves to the folder."));
    editFolder_ = AddEdit("editFolder", QStringLiteral("The folder on the server to open."));
    editFileName_ = AddEdit("editFileName", QStringLiteral("The file to download; empty to "
                                                           "browse the folder."));
    editPort_ = AddEdit("editPort", QStringLiteral("The server's port, 1 to 65535: 21 for FTP, "
                                                   "990 for FTPS, 80 for HTTP."));
    editPort_->setMaximumWidth(80);

    ChkHTTP_ = new QRadioButton(QStringLiteral("HTTP"), this);
    ChkHTTP_->setObjectName(QStringLiteral("ChkHTTP"));
    ChkFTP_ = new QRadioButton(QStringLiteral("FTP"), this);
    ChkFTP_->setObjectName(QStringLiteral("ChkFTP"));
    ChkFTP_->setChecked(true);
    ChkFTPAn_ = new QRadioButton(QStringLiteral("FTP anonymous"), this);
    ChkFTPAn_->setObjectName(QStringLiteral("ChkFTPAn"));
    ChkFTPAn_->setWhatsThis(QStringLiteral("Log in as \"anonymous\" with your e-mail address "
                                           "as the password."));
    auto* types = new QButtonGroup(this);
    for (QRadioButton* radio : {ChkHTTP_, ChkFTP_, ChkFTPAn_}) {
        types->addButton(radio);
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (on && !Updating_) PartChanged(radio);
        });
    }
    cbImplicitTls_ = new QCheckBox(QStringLiteral("Encrypted (FTPS)"), this);
    cbImplicitTls_->setObjectName(QStringLiteral("cbImplicitTls"));
    cbImplicitTls_->setWhatsThis(QStringLiteral(
        "Implicit TLS: the session is encrypted from the start, usually on port 990, as "
        "ftps:// URLs ask. A certificate that no authority vouches for is shown for you to "
        "trust or refuse."));
    connect(cbImplicitTls_, &QCheckBox::toggled, this, [this](bool on) {
        if (Updating_) return;
        // Implicit TLS has a port of its own: the usual ports follow the choice.
        Updating_ = true;
        const QString port = editPort_->text().trimmed();
        if (on && (port.isEmpty() || port == QStringLiteral("21")))
            editPort_->setText(QStringLiteral("990"));
        else if (!on && port == QStringLiteral("990"))
            editPort_->setText(QStringLiteral("21"));
        Updating_ = false;
        PartChanged(cbImplicitTls_);
    });
    cbUseExplorer_ = new QCheckBox(QStringLiteral("Show in the internal viewer"), this);
    cbUseExplorer_->setObjectName(QStringLiteral("cbUseExplorer"));
    cbUseExplorer_->setWhatsThis(QStringLiteral("Show an HTTP page in the program instead of "
                                                "saving it to a file."));

    lblProblem_ = new QLabel(this);
    lblProblem_->setObjectName(QStringLiteral("lblProblem"));
    lblProblem_->setWordWrap(true);
    lblProblem_->setStyleSheet(QStringLiteral("color: #b00000"));
    lblProblem_->hide();

    auto* group = new QGroupBox(QStringLiteral("URL's Properties"), this);
    auto* grid = new QGridLayout(group);
    const auto addRow = [&](int row, const QString& caption, QLineEdit* edit) {
        auto* label = new QLabel(caption, group);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1, 1, 3);
    };
    addRow(0, QStringLiteral("User &Name:"), editUserName_);
    addRow(1, QStringLiteral("&Password:"), editPassword_);
    addRow(2, QStringLiteral("&Host:"), editHost_);
    addRow(3, QStringLiteral("&Folder:"), editFolder_);
    addRow(4, QStringLiteral("F&ile:"), editFileName_);
    addRow(5, QStringLiteral("P&ort"), editPort_);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(ChkHTTP_);
    typeRow->addWidget(ChkFTP_);
    typeRow->addWidget(ChkFTPAn_);
    typeRow->addWidget(cbImplicitTls_);
    typeRow->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("Type of URL:"), group), 6, 0);
    grid->addLayout(typeRow, 6, 1, 1, 3);
    grid->addWidget(cbUseExplorer_, 7, 1, 1, 3);

    const TDialogButtons row = MakeDialogButtons(this, [this] { ShowHelpTopic(hcURL, this); });
    btnOK_ = row.Ok;
    QHBoxLayout* buttons = row.Row;

    auto* top = new QHBoxLayout;
    top->addWidget(urlLabel);
    top->addWidget(cmboURL_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblProblem_);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(cmboURL_, &QComboBox::editTextChanged, this, [this] {
        if (!Updating_) URLChanged(cmboURL_);
    });
    editPort_->setText(QStringLiteral("21"));
    cmboURL_->setEditText(QString());
    PartChanged(nullptr);
    // An empty box rather than a bare "ftp://", so that a typed or pasted URL is not
    // appended to it.
    Updating_ = true;
    cmboURL_->setEditText(QString());
    Updating_ = false;
    cmboURL_->lineEdit()->setPlaceholderText(QStringLiteral("ftp://host/folder/"));
}

TfrmURL::~TfrmURL() = default;

QLineEdit* TfrmURL::AddEdit(const char* name, const QString& whatsThis) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setWhatsThis(whatsThis);
    connect(edit, &QLineEdit::textChanged, this, [this, edit] {
        if (!Updating_) PartChanged(edit);
    });
    return edit;
}

void TfrmURL::SetURL(const QString& url) {
    cmboURL_->setEditText(url);
}

QString TfrmURL::URL() const {
    return cmboURL_->currentText().trimmed();
}

TURLType TfrmURL::Type() const {
    if (ChkHTTP_->isChecked()) return TURLType::HTTP;
    return ChkFTPAn_->isChecked() ? TURLType::FTPAnonymous : TURLType::FTP;
}

bool TfrmURL::IsHTTP() const {
    return ChkHTTP_->isChecked();
}

bool TfrmURL::UseViewer() const {
    return IsHTTP() && cbUseExplorer_->isChecked();
}

void TfrmURL::SetType(TURLType type) {
    QRadioButton* radio = type == TURLType::HTTP  ? ChkHTTP_
                          : type == TURLType::FTP ? ChkFTP_
                                                  : ChkFTPAn_;
    radio->setChecked(true);
}

void TfrmURL::PartChanged(QObject* source) {
    Updating_ = true;
    const QString anonymous = QStringLiteral("anonymous");
    if (source == ChkFTPAn_) {
        editUserName_->setText(anonymous);
        editPassword_->setText(Settings_.EMail);
    } else if (source == ChkHTTP_ || source == ChkFTP_) {
        // A new type starts with no credentials, in the URL as in the edits.
        editUserName_->clear();
        editPassword_->clear();
    } else if (source) {
        SetType(TypeOfURL(cmboURL_->currentText(), editUserName_->text()));
        if (IsHTTP() && editUserName_->text() == anonymous) {
            editUserName_->clear();
            editPassword_->clear();
        }
    }
    const TComposedURL composed =
        ComposeURL({editUserName_->text(), editPassword_->text(), editHost_->text(),
                    editPort_->text(), editFolder_->text(), editFileName_->text()},
                   Type(), cbImplicitTls_->isChecked());
    if (composed.PathMoved) {
        editHost_->setText(composed.Host);
        editHost_->setCursorPosition(int(composed.Host.size()));
        editFolder_->setText(composed.Folder);
        editFileName_->setText(composed.FileName);
    }
    cmboURL_->setEditText(composed.URL);
    Updating_ = false;
    URLChanged(source);
}

void TfrmURL::URLChanged(QObject* source) {
    TSplitURL parts;
    bool split = false;
    Problem_ = CheckURL(cmboURL_->currentText(), Settings_.EMail, parts, split);
    if (split) {
        // The parts keep their last values while the URL cannot be read.
        Parts_ = parts;
        Updating_ = true;
        const TURLType before = Type();
        const bool radio = source == ChkHTTP_ || source == ChkFTP_ || source == ChkFTPAn_;
        if (radio) {
            if (!ChkFTPAn_->isChecked()) {
                Parts_.User.clear();
                Parts_.Password.clear();
            }
        } else {
            SetType(TypeOfURL(cmboURL_->currentText(), Parts_.User));
            if (IsHTTP() && Parts_.User == QStringLiteral("anonymous")) {
                Parts_.User.clear();
                Parts_.Password.clear();
            }
        }
        // The edit being typed in keeps its text: the URL's reading of it ("/pub/" for
        // "pub", the port 21 for none) would move the text under the caret.
        const bool keepSource = Type() == before;
        const std::pair<QLineEdit*, QString> fills[] = {
            {editUserName_, Parts_.User},     {editPassword_, Parts_.Password},
            {editHost_, Parts_.Host},         {editFolder_, Parts_.FolderPath},
            {editFileName_, Parts_.FileName}, {editPort_, QString::number(Parts_.Port)}};
        for (const auto& [edit, text] : fills)
            if (!(keepSource && edit == source)) SetEditText(edit, text);
        cbImplicitTls_->setChecked(Parts_.Encryption == TEncryption::Implicit);
        Updating_ = false;
    }
    Valid_ = split && !Parts_.Host.isEmpty() && Problem_.isEmpty();
    UpdateButtons();
}

void TfrmURL::UpdateButtons() {
    btnOK_->setEnabled(Valid_);
    lblProblem_->setText(Problem_);
    lblProblem_->setVisible(!Problem_.isEmpty());
    cbUseExplorer_->setEnabled(IsHTTP());
    cbImplicitTls_->setEnabled(!IsHTTP());
}

void TfrmURL::accept() {
    if (!Valid_) return;
    AddToURLHistory(Settings_.URLHistory, URL(), MaxURLHistory);
    // A page to be shown goes to the caller's viewer, not to a file.
    if (IsHTTP() && !UseViewer()) DownloadHTTP();
    QDialog::accept();
}

void TfrmURL::reject() {
    Valid_ = false;
    Parts_ = TSplitURL();
    QDialog::reject();
}

void TfrmURL::DownloadHTTP() {
    const QString folder = DownloadFolder_.isEmpty() ? QDir::currentPath() : DownloadFolder_;
    const QString chosen =
        Questions_->PickFile(QStringLiteral("Save As"), folder + QLatin1Char('/') + Parts_.FileName,
                             QStringLiteral("All Files (*)"), true);
    if (chosen.isEmpty()) return;
    const QFileInfo target(chosen);
    auto item = std::make_unique<TTransferItem>();
    item->IsHTTP = true;
    item->URL = URL();
    item->Host = Parts_.Host;
    item->Port = Parts_.Port;
    item->SourceFolder = Parts_.FolderPath.toUtf8();
    item->FileName = (Parts_.FileName.isEmpty() ? target.fileName() : Parts_.FileName).toUtf8();
    item->DestFolder = QFile::encodeName(target.absolutePath());
    AppendCharIfMissing(item->DestFolder, '/');
    item->DestFileName = QFile::encodeName(target.fileName());
    (Queue_ ? *Queue_ : GeneralQueue()).Add(item);
}
