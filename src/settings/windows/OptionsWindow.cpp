#include "settings/windows/OptionsWindow.h"

#include "app/Help.h"
#include "settings/SettingsFile.h"
#include "settings/windows/ApplicationHints.h"
#include "views/widgets/DialogButtons.h"
#include "views/widgets/ViewQuestions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

TfrmOptions::TfrmOptions(TSettings& settings, const QString& settingsPath, ISoundPlayer* sounds,
                         IViewQuestions* questions, QWidget* parent)
    : QDialog(parent), Settings_(settings), SettingsPath_(settingsPath), Sounds_(sounds),
      Questions_(questions), Targets_(GuiEngineTargets()) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("General preferences"));
    SetHelpContext(this, hcOptions);
    // The pages read the sounds list by index; a record made by hand may lack entries.
    while (Settings_.Sounds.size() < SoundCount)
        Settings_.Sounds.append(QString());

    Pages_ = new QTabWidget(this);
    Pages_->setObjectName(QStringLiteral("pgcOptions"));
    // Every page's tab in sight: the window widens rather than scrolling its tabs.
    Pages_->setUsesScrollButtons(false);
    const std::pair<QWidget*, QString> pages[] = {
        {MakeGeneralPage(), QStringLiteral("General")},
        {MakeAdvancedPage(), QStringLiteral("Advanced")},
        {MakeConnectionPage(), QStringLiteral("Connection")},
        {MakeConversionsPage(), QStringLiteral("Conversions")},
        {MakeFirewallPage(), QStringLiteral("Firewall")},
        {MakeSoundsPage(), QStringLiteral("Sounds")},
        {MakeFileTypesPage(), QStringLiteral("File Types")},
    };
    for (const auto& [page, caption] : pages)
        Pages_->addTab(page, caption);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages_);
    layout->addLayout(MakeDialogButtons(this, [this] { ShowHelpTopic(hcOptions, this); }).Row);

    LoadGeneralPages();
    LoadConversionPages();
    LoadListPages();
}

TfrmOptions::~TfrmOptions() = default;

void TfrmOptions::SetPinPressed(std::function<bool()> pinPressed) {
    PinPressed_ = std::move(pinPressed);
}

void TfrmOptions::SetEngineTargets(const TEngineTargets& targets) {
    Targets_ = targets;
}

int TfrmOptions::PageCount() const {
    return Pages_->count();
}

void TfrmOptions::ShowPage(int index) {
    Pages_->setCurrentIndex(index);
}

void TfrmOptions::accept() {
    if (EditChar_->text().isEmpty()) EditChar_->setText(QStringLiteral("_"));
    // The edits go to a copy first, so a write that fails leaves the record as it was
    // (apart from the sounds, which the page has stored already).
    TSettings edited = Settings_;
    SaveGeneralPages(edited);
    SaveConversionPages(edited);
    SaveListPages(edited);
    edited.PinTransferWindow = Settings_.PinTransferWindow || (PinPressed_ && PinPressed_());
    QString error;
    if (!WriteSettings(edited, SettingsPath_, &error)) {
        Questions()->ShowMessage(error);
        return;
    }
    Settings_ = edited;
    ApplyEngineSettings(Settings_, Targets_);
    QDialog::accept();
}

IViewQuestions* TfrmOptions::Questions() {
    if (!Questions_) {
        OwnQuestions_ = std::make_unique<TViewQuestions>(this);
        Questions_ = OwnQuestions_.get();
    }
    return Questions_;
}

QGroupBox* TfrmOptions::MakeRadioGroup(const QString& title, const QString& name,
                                       const QStringList& items, QButtonGroup*& group) {
    auto* box = new QGroupBox(title);
    box->setObjectName(QStringLiteral("gb") + name);
    group = new QButtonGroup(this);
    group->setObjectName(QStringLiteral("rg") + name);
    auto* layout = new QVBoxLayout(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], box);
        radio->setObjectName(QStringLiteral("rb%1%2").arg(name).arg(i));
        group->addButton(radio, i);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    return box;
}

QCheckBox* TfrmOptions::MakeCheck(const QString& caption, const QString& name) {
    auto* check = new QCheckBox(caption);
    check->setObjectName(name);
    return check;
}

QSpinBox* TfrmOptions::MakeSpin(const QString& name, int lowest, int highest) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    // setValue brings a stored value outside the range to its nearer end, never around.
    spin->setRange(lowest, highest);
    return spin;
}
