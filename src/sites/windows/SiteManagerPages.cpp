// The controls of the site manager's pages; what they do is in SiteManager.cpp.
#include "sites/windows/SiteManager.h"

#include "app/Help.h"
#include "views/widgets/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int FieldLength = 512;

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& whatsThis,
                   int maxLength = FieldLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    edit->setWhatsThis(whatsThis);
    return edit;
}

QPushButton* NewButton(QWidget* parent, const QString& caption, const char* name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

void AddRow(QGridLayout* grid, const QString& caption, QWidget* field) {
    const int row = grid->rowCount();
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace

QWidget* TfrmManager::BuildGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbshtGeneral"));
    SiteBox_ = new QComboBox(page);
    SiteBox_->setObjectName(QStringLiteral("cmboSite"));
    SiteBox_->setEditable(true);
    // The list is the file's; a typed name joins it only when saved.
    SiteBox_->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would load a listed site while a longer new name is typed.
    SiteBox_->setCompleter(nullptr);
    SiteBox_->lineEdit()->setMaxLength(256);
    SiteBox_->setWhatsThis(QStringLiteral(
        "The name of the site. Choose a saved site, or type a new name to save the fields "
        "as a new site."));
    Host_ = NewEdit(page, "editHost", QStringLiteral("The server's host name or IP address."));
    User_ = NewEdit(page, "editUser", QStringLiteral("The user name to log in with."));
    Password_ = NewEdit(page, "editPassword",
                        QStringLiteral("The password to log in with. Leave it empty to be "
                                       "asked for it on connecting."));
    Password_->setEchoMode(QLineEdit::Password);
    Anonymous_ = new QCheckBox(QStringLiteral("Anonymous"), page);
    Anonymous_->setObjectName(QStringLiteral("cbAnonymous"));
    Anonymous_->setWhatsThis(
        QStringLiteral("Log in as \"anonymous\" with your e-mail address as the password."));

    auto* grid = new QGridLayout;
    AddRow(grid, QStringLiteral("Host Name:"), SiteBox_);
    AddRow(grid, QStringLiteral("Host Address:"), Host_);
    AddRow(grid, QStringLiteral("User ID:"), User_);
    AddRow(grid, QStringLiteral("Password:"), Password_);
    grid->addWidget(Anonymous_, grid->rowCount(), 1);

    auto* newSite = NewButton(page, QStringLiteral("&New"), "btnNew");
    auto* apply = NewButton(page, QStringLiteral("&Apply"), "btnApply");
    Delete_ = NewButton(page, QStringLiteral("&Delete"), "btnDelete");
    connect(newSite, &QPushButton::clicked, this, &TfrmManager::NewSite);
    connect(apply, &QPushButton::clicked, this, [this] {
        if (!SiteBox_->currentText().isEmpty()) SaveSite();
    });
    connect(Delete_, &QPushButton::clicked, this, &TfrmManager::DeleteSite);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(newSite);
    buttons->addWidget(apply);
    buttons->addWidget(Delete_);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);
    return page;
}

QWidget* TfrmManager::BuildAdditionalPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbshtAdditional"));
    HostFolder_ = NewEdit(page, "editHostFolder",
                          QStringLiteral("The folder on the server to open after logging in. "
                                         "Empty: the server's start folder."));
    Port_ =
        NewEdit(page, "editPort",
                QStringLiteral("The server's port, 1 to 65535; FTP servers usually use 21."), 16);
    UseFirewall_ = new QCheckBox(QStringLiteral("Use Firewall setting"), page);
    UseFirewall_->setObjectName(QStringLiteral("cbUseFirewall"));
    UseFirewall_->setWhatsThis(
        QStringLiteral("Connect through the firewall set in the options, when one is set there."));

    Encryption_ = new QComboBox(page);
    Encryption_->setObjectName(QStringLiteral("cmboEncryption"));
    // In the order of TEncryption's numbers.
    Encryption_->addItems({QStringLiteral("None"), QStringLiteral("Explicit TLS if offered"),
                           QStringLiteral("Explicit TLS (required)"),
                           QStringLiteral("Implicit TLS (FTPS)")});
    Encryption_->setWhatsThis(QStringLiteral(
        "Whether the session is encrypted. Explicit TLS asks the server to encrypt on the "
        "usual port (AUTH TLS); \"if offered\" goes on unencrypted when the server cannot. "
        "Implicit TLS encrypts from the start, usually on port 990. A certificate that no "
        "authority vouches for is shown for you to trust or refuse."));
    connect(Encryption_, &QComboBox::currentIndexChanged, this, &TfrmManager::EncryptionChanged);

    Charset_ = new QComboBox(page);
    Charset_->setObjectName(QStringLiteral("cmboCharset"));
    Charset_->setEditable(true);
    Charset_->addItem(AutomaticCharsetText());
    Charset_->addItems(TNameCharset::CommonNames());
    Charset_->setWhatsThis(QStringLiteral(
        "The character set of the server's file names. Names that are valid UTF-8 always "
        "read as UTF-8; others read in the set chosen here (Shift_JIS, GBK, Big5, EUC-KR, "
        "windows-1251, ... or any other name typed), or as Latin-1 when it is Automatic. "
        "Names go back to the server exactly as it sent them."));

    auto* grid = new QGridLayout(page);
    AddRow(grid, QStringLiteral("Host directory:"), HostFolder_);
    AddRow(grid, QStringLiteral("Port:"), Port_);
    AddRow(grid, QStringLiteral("Encryption:"), Encryption_);
    AddRow(grid, QStringLiteral("Name character set:"), Charset_);
    grid->addWidget(UseFirewall_, grid->rowCount(), 1);
    for (int i = 0; i < 3; ++i) {
        const QByteArray name = "editLocalFolder" + QByteArray::number(i + 1);
        QLineEdit* edit = NewEdit(page, name.constData(),
                                  QStringLiteral("A local folder opened in a tab of its own on "
                                                 "connecting; the first one in the current tab."));
        LocalFolders_[i] = edit;
        auto* browse = NewButton(page, QStringLiteral("Browse..."),
                                 ("btnBrowse" + QByteArray::number(i + 1)).constData());
        connect(browse, &QPushButton::clicked, this, [this, edit] { Browse(edit); });
        const int row = grid->rowCount();
        AddRow(grid, QStringLiteral("Local directory %1:").arg(i + 1), edit);
        grid->addWidget(browse, row, 2);
    }
    grid->setRowStretch(grid->rowCount(), 1);
    return page;
}

QWidget* TfrmManager::BuildNotesPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbshtNotes"));
    Notes_ = new QPlainTextEdit(page);
    Notes_->setObjectName(QStringLiteral("memoComment"));
    Notes_->setWhatsThis(QStringLiteral("Your own notes on the site, kept with it."));
    auto* label = new QLabel(QStringLiteral("Notes:"), page);
    label->setBuddy(Notes_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label);
    layout->addWidget(Notes_);
    return page;
}

QWidget* TfrmManager::BuildPredefinedPage(const QString& logoFile) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbshtPred"));
    auto* logo = new QLabel(page);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(QPixmap(logoFile));
    logo->setAlignment(Qt::AlignCenter);
    HostPred_ = NewEdit(page, "EditHostPred", QStringLiteral("The server of this site."));
    HostPred_->setReadOnly(true);
    UserPred_ = NewEdit(page, "EditUserPred", QStringLiteral("The user name to log in with."));
    PasswordPred_ =
        NewEdit(page, "EditPasswordPred", QStringLiteral("The password to log in with."));
    PasswordPred_->setEchoMode(QLineEdit::Password);
    AnonymousPred_ = new QCheckBox(QStringLiteral("Anonymous"), page);
    AnonymousPred_->setObjectName(QStringLiteral("cbAnonymousPred"));
    AnonymousPred_->setWhatsThis(
        QStringLiteral("Log in as \"anonymous\" with your e-mail address as the password."));

    auto* grid = new QGridLayout;
    AddRow(grid, QStringLiteral("Host Address:"), HostPred_);
    AddRow(grid, QStringLiteral("User ID:"), UserPred_);
    AddRow(grid, QStringLiteral("Password:"), PasswordPred_);
    grid->addWidget(AnonymousPred_, grid->rowCount(), 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(logo);
    layout->addLayout(grid);
    layout->addStretch(1);
    return page;
}

QLayout* TfrmManager::BuildButtons() {
    return MakeDialogButtons(this, [this] { ShowHelpTopic(hcSiteManager, this); }).Row;
}
