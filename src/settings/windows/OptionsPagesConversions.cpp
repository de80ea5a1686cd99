// The "Conversions" and "Firewall" pages of the options window.
#include "settings/windows/OptionsWindow.h"

#include "settings/FileNameConversion.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString LongSample = QStringLiteral("Read the Instructions.txt");
const QString ShortSample = QStringLiteral("READTH~1.TXT");

int CheckedOr(const QButtonGroup* group, int def) {
    return group->checkedId() >= 0 ? group->checkedId() : def;
}

void Check(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

} // namespace

QWidget* TfrmOptions::MakeConversionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsConversions"));
    auto* explanation = new QLabel(QStringLiteral(
        "When uploading files, the file name can be converted before being stored on the server."));
    explanation->setWordWrap(true);

    auto* caseBox = MakeRadioGroup(QStringLiteral(" Convert Case To "), QStringLiteral("Case"),
                                   {QStringLiteral("&Don't Convert"), QStringLiteral("&Lower Case"),
                                    QStringLiteral("&Upper Case")},
                                   RgCase_);
    GbSpaces_ = MakeRadioGroup(
        QStringLiteral(" Spaces "), QStringLiteral("Spaces"),
        {QStringLiteral("Lea&ve"), QStringLiteral("&Remove"), QStringLiteral("Re&place with:")},
        RgSpaces_);
    EditChar_ = new QLineEdit;
    EditChar_->setObjectName(QStringLiteral("editChar"));
    EditChar_->setMaxLength(1);
    EditChar_->setFixedWidth(EditChar_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 3);
    EditChar_->setWhatsThis(QStringLiteral("The character that takes the place of each blank."));
    // The edit sits beside the last choice of the group.
    auto* spacesLayout = static_cast<QVBoxLayout*>(GbSpaces_->layout());
    QWidget* replace = RgSpaces_->button(2);
    const int at = spacesLayout->indexOf(replace);
    spacesLayout->removeWidget(replace);
    auto* replaceRow = new QHBoxLayout;
    replaceRow->addWidget(replace);
    replaceRow->addWidget(EditChar_);
    replaceRow->addStretch(1);
    spacesLayout->insertLayout(at, replaceRow);

    ChkShortName_ =
        MakeCheck(QStringLiteral("Use Short File Name (DOS 8.3) "), QStringLiteral("chkShortName"));
    ChkShortName_->setWhatsThis(
        QStringLiteral("Store files under the short (8.3) form of their local name."));

    auto* preview = new QGroupBox;
    preview->setObjectName(QStringLiteral("gbPreview"));
    LblOriginal_ = new QLabel;
    LblOriginal_->setObjectName(QStringLiteral("lblOriginal"));
    LblConverted_ = new QLabel;
    LblConverted_->setObjectName(QStringLiteral("lblConverted"));
    auto* form = new QFormLayout(preview);
    form->addRow(QStringLiteral("Original:"), LblOriginal_);
    form->addRow(QStringLiteral("Converted:"), LblConverted_);

    auto* groups = new QHBoxLayout;
    groups->addWidget(caseBox);
    groups->addWidget(GbSpaces_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(explanation);
    layout->addLayout(groups);
    layout->addWidget(ChkShortName_);
    layout->addWidget(preview);
    layout->addStretch(1);

    connect(RgCase_, &QButtonGroup::idToggled, this, &TfrmOptions::RefreshPreview);
    connect(RgSpaces_, &QButtonGroup::idToggled, this, &TfrmOptions::RefreshPreview);
    connect(ChkShortName_, &QCheckBox::toggled, this, &TfrmOptions::RefreshPreview);
    connect(EditChar_, &QLineEdit::textChanged, this, &TfrmOptions::RefreshPreview);
    return page;
}

QWidget* TfrmOptions::MakeFirewallPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsFirewall"));
    ChkFirewall_ = MakeCheck(QStringLiteral("Activate Firewalls"), QStringLiteral("chkFirewall"));
    ChkFirewall_->setWhatsThis(
        QStringLiteral("Log on through the firewall below, for the sites that are set to use it."));
    GbFirewallType_ =
        MakeRadioGroup(QStringLiteral(" Type "), QStringLiteral("FirewallType"),
                       {QStringLiteral("&Site"), QStringLiteral("&Proxy"),
                        QStringLiteral("User with &login"), QStringLiteral("User without l&ogin")},
                       RgFirewallType_);

    GbServer_ = new QGroupBox(QStringLiteral(" Server "));
    GbServer_->setObjectName(QStringLiteral("gbServer"));
    EditFirewallHost_ = new QLineEdit;
    EditFirewallHost_->setObjectName(QStringLiteral("editFirewallHost"));
    EditFirewallHost_->setWhatsThis(QStringLiteral("The firewall's host name or address."));
    SpinFirewallPort_ = MakeSpin(QStringLiteral("spinFirewallPort"), 1, 65535);
    SpinFirewallPort_->setWhatsThis(QStringLiteral("The firewall's port, usually 21."));
    auto* server = new QFormLayout(GbServer_);
    server->addRow(QStringLiteral("Host:"), EditFirewallHost_);
    server->addRow(QStringLiteral("Port:"), SpinFirewallPort_);

    GbUser_ = new QGroupBox(QStringLiteral(" User "));
    GbUser_->setObjectName(QStringLiteral("gbUser"));
    EditFirewallUser_ = new QLineEdit;
    EditFirewallUser_->setObjectName(QStringLiteral("editFirewallUser"));
    EditFirewallUser_->setWhatsThis(QStringLiteral("Your user name on the firewall."));
    EditFirewallPassword_ = new QLineEdit;
    EditFirewallPassword_->setObjectName(QStringLiteral("editFirewallPassword"));
    EditFirewallPassword_->setEchoMode(QLineEdit::Password);
    EditFirewallPassword_->setWhatsThis(
        QStringLiteral("Your password on the firewall. It is kept in the settings file as typed."));
    auto* user = new QFormLayout(GbUser_);
    user->addRow(QStringLiteral("User ID:"), EditFirewallUser_);
    user->addRow(QStringLiteral("Password:"), EditFirewallPassword_);

    auto* right = new QVBoxLayout;
    right->addWidget(GbServer_);
    right->addWidget(GbUser_);
    auto* groups = new QHBoxLayout;
    groups->addWidget(GbFirewallType_);
    groups->addLayout(right, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(ChkFirewall_);
    layout->addLayout(groups);
    layout->addStretch(1);
    connect(ChkFirewall_, &QCheckBox::toggled, this, &TfrmOptions::EnableFirewall);
    return page;
}

void TfrmOptions::LoadConversionPages() {
    const TSettings& s = Settings_;
    Check(RgCase_, s.ConversionCase);
    Check(RgSpaces_, s.ConversionSpaces);
    EditChar_->setText(s.ConversionChar.left(1));
    ChkShortName_->setChecked(s.ConversionUseShortName);
    RefreshPreview();

    ChkFirewall_->setChecked(s.FirewallEnabled);
    Check(RgFirewallType_, s.FirewallType);
    EditFirewallHost_->setText(s.FirewallHost);
    SpinFirewallPort_->setValue(s.FirewallPort);
    EditFirewallUser_->setText(s.FirewallUser);
    EditFirewallPassword_->setText(s.FirewallPassword);
    EnableFirewall();
}

void TfrmOptions::SaveConversionPages(TSettings& s) const {
    s.ConversionCase = CheckedOr(RgCase_, 0);
    s.ConversionSpaces = CheckedOr(RgSpaces_, 0);
    s.ConversionChar = EditChar_->text().isEmpty() ? QStringLiteral("_") : EditChar_->text();
    s.ConversionUseShortName = ChkShortName_->isChecked();

    s.FirewallEnabled = ChkFirewall_->isChecked();
    s.FirewallType = CheckedOr(RgFirewallType_, 0);
    s.FirewallHost = EditFirewallHost_->text();
    bool ok = false;
    SpinFirewallPort_->cleanText().toInt(&ok);
    s.FirewallPort = ok ? SpinFirewallPort_->value() : 21;
    s.FirewallUser = EditFirewallUser_->text();
    s.FirewallPassword = EditFirewallPassword_->text();
}

void TfrmOptions::RefreshPreview() {
    const bool shortNames = ChkShortName_->isChecked();
    GbSpaces_->setTitle(shortNames ? QStringLiteral(" Tildes (~) ") : QStringLiteral(" Spaces "));
    const int spaces = CheckedOr(RgSpaces_, 0);
    EditChar_->setEnabled(spaces == 2);
    // An empty replacement previews as "_", the character "OK" puts in its place.
    const TNameConversion rule{shortNames, CheckedOr(RgCase_, 0), spaces, EditChar_->text()};
    const QString sample = shortNames ? ShortSample : LongSample;
    LblOriginal_->setText(sample);
    LblConverted_->setText(ApplyNameConversion(sample, rule));
}

void TfrmOptions::EnableFirewall() {
    const bool on = ChkFirewall_->isChecked();
    GbFirewallType_->setEnabled(on);
    GbServer_->setEnabled(on);
    GbUser_->setEnabled(on);
}
