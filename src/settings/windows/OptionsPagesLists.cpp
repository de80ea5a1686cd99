// The "Sounds" and "File Types" pages of the options window.
#include "settings/windows/OptionsWindow.h"

#include "platform/SoundPlayer.h"
#include "views/ViewQuestions.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString NoSound = QStringLiteral("(None)");

QStringList EventCaptions() {
    return {QStringLiteral("Connection success"),   QStringLiteral("Connection failure"),
            QStringLiteral("Disconnection"),        QStringLiteral("End of transfer"),
            QStringLiteral("End of all transfers"), QStringLiteral("Error in the transfer")};
}

// Keeps the room of the speaker on events without one, so the captions line up.
class TEventDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->icon.isNull()) {
            const int side = option->widget ? option->widget->style()->pixelMetric(
                                                  QStyle::PM_SmallIconSize, nullptr, option->widget)
                                            : 16;
            QPixmap blank(side, side);
            blank.fill(Qt::transparent);
            option->icon = QIcon(blank);
            option->decorationSize = blank.size();
            option->features |= QStyleOptionViewItem::HasDecoration;
        }
    }
};

QPushButton* MakeButton(const QString& caption, const QString& name) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QWidget* TfrmOptions::MakeSoundsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsSounds"));
    TvEvents_ = new QTreeWidget;
    TvEvents_->setObjectName(QStringLiteral("tvEvents"));
    TvEvents_->setHeaderHidden(true);
    TvEvents_->setRootIsDecorated(false);
    TvEvents_->setItemDelegate(new TEventDelegate(TvEvents_));
    TvEvents_->setWhatsThis(
        QStringLiteral("The events that can play a sound; those with a speaker have one."));
    for (const QString& caption : EventCaptions())
        TvEvents_->addTopLevelItem(new QTreeWidgetItem(QStringList{caption}));
    auto* events = new QLabel(QStringLiteral("Events:"));
    events->setBuddy(TvEvents_);

    GbSoundEffect_ = new QGroupBox(QStringLiteral("Sound effect"));
    GbSoundEffect_->setObjectName(QStringLiteral("gbSoundEffect"));
    CmbSound_ = new QComboBox;
    CmbSound_->setObjectName(QStringLiteral("cmbSound"));
    CmbSound_->setEditable(true);
    CmbSound_->setInsertPolicy(QComboBox::NoInsert);
    CmbSound_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CmbSound_->setMinimumContentsLength(24);
    CmbSound_->setWhatsThis(
        QStringLiteral("The wave file the selected event plays; \"(None)\" for no sound."));
    CmbSound_->addItem(NoSound);
    for (const QString& sound : Settings_.Sounds) {
        if (!sound.isEmpty() && CmbSound_->findText(sound) < 0) CmbSound_->addItem(sound);
    }
    auto* browse = MakeButton(QStringLiteral("..."), QStringLiteral("btnBrowseSound"));
    BtnStart_ = MakeButton(QStringLiteral("Start"), QStringLiteral("btnStart"));
    auto* stop = MakeButton(QStringLiteral("Stop"), QStringLiteral("btnStop"));
    auto* effect = new QGridLayout(GbSoundEffect_);
    effect->addWidget(CmbSound_, 0, 0, 1, 3);
    effect->addWidget(browse, 0, 3);
    effect->addWidget(new QLabel(QStringLiteral("Test sound:")), 1, 0);
    effect->addWidget(BtnStart_, 1, 1);
    effect->addWidget(stop, 1, 2);
    effect->setColumnStretch(0, 1);

    connect(TvEvents_, &QTreeWidget::currentItemChanged, this, &TfrmOptions::EventSelected);
    connect(CmbSound_, &QComboBox::editTextChanged, this, &TfrmOptions::SoundTextChanged);
    connect(browse, &QPushButton::clicked, this, &TfrmOptions::BrowseSound);
    connect(BtnStart_, &QPushButton::clicked, this, [this] {
        if (Sounds_) Sounds_->Play(CmbSound_->currentText());
    });
    connect(stop, &QPushButton::clicked, this, [this] {
        if (Sounds_) Sounds_->Stop();
    });

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(events);
    layout->addWidget(TvEvents_, 1);
    layout->addWidget(GbSoundEffect_);
    return page;
}

QWidget* TfrmOptions::MakeFileTypesPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsFileTypes"));
    LbExtensions_ = new QListWidget;
    LbExtensions_->setObjectName(QStringLiteral("lbExtensions"));
    EditExtension_ = new QLineEdit;
    EditExtension_->setObjectName(QStringLiteral("editExtension"));
    EditExtension_->setMaxLength(256);
    EditExtension_->setWhatsThis(
        QStringLiteral("An extension to add, such as txt; the dot is put in front for you."));
    BtnAdd_ = MakeButton(QStringLiteral("&Add"), QStringLiteral("btnAdd"));
    BtnRemove_ = MakeButton(QStringLiteral("&Remove"), QStringLiteral("btnRemove"));
    auto* label =
        new QLabel(QStringLiteral("Always use ASCII transfer mode for these extensions:"));
    label->setBuddy(LbExtensions_);

    connect(EditExtension_, &QLineEdit::textChanged, this, &TfrmOptions::EnableFileTypeButtons);
    connect(LbExtensions_, &QListWidget::itemSelectionChanged, this,
            &TfrmOptions::EnableFileTypeButtons);
    connect(BtnAdd_, &QPushButton::clicked, this, &TfrmOptions::AddExtension);
    connect(EditExtension_, &QLineEdit::returnPressed, this, &TfrmOptions::AddExtension);
    connect(BtnRemove_, &QPushButton::clicked, this, &TfrmOptions::RemoveExtension);

    auto* grid = new QGridLayout(page);
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(LbExtensions_, 1, 0, 3, 1);
    grid->addWidget(EditExtension_, 1, 1);
    grid->addWidget(BtnAdd_, 2, 1);
    grid->addWidget(BtnRemove_, 3, 1, Qt::AlignTop);
    grid->setRowStretch(3, 1);
    return page;
}

void TfrmOptions::LoadListPages() {
    TvEvents_->setCurrentItem(nullptr);
    EventSelected();
    LbExtensions_->addItems(Settings_.ASCIIExtensions);
    EnableFileTypeButtons();
}

void TfrmOptions::SaveListPages(TSettings& s) const {
    // The sounds are in the record already; only the extensions are copied.
    s.ASCIIExtensions.clear();
    for (int i = 0; i < LbExtensions_->count(); ++i)
        s.ASCIIExtensions.append(LbExtensions_->item(i)->text());
}

void TfrmOptions::EventSelected() {
    QTreeWidgetItem* item = TvEvents_->currentItem();
    GbSoundEffect_->setEnabled(item != nullptr);
    const int event = item ? TvEvents_->indexOfTopLevelItem(item) : -1;
    const QString sound = event >= 0 ? Settings_.Sounds[event] : QString();
    const QIcon speaker = QIcon::fromTheme(QStringLiteral("audio-volume-high"),
                                           style()->standardIcon(QStyle::SP_MediaVolume));
    for (int i = 0; i < TvEvents_->topLevelItemCount(); ++i)
        TvEvents_->topLevelItem(i)->setIcon(0, Settings_.Sounds[i].isEmpty() ? QIcon() : speaker);
    // Showing the event's own sound must not store it again (a file gone since would
    // then be dropped as "any other text").
    LoadingSound_ = true;
    CmbSound_->setEditText(sound.isEmpty() ? NoSound : sound);
    LoadingSound_ = false;
    BtnStart_->setEnabled(!sound.isEmpty() && QFileInfo(sound).isFile());
}

void TfrmOptions::SoundTextChanged(const QString& text) {
    QTreeWidgetItem* item = TvEvents_->currentItem();
    if (LoadingSound_ || !item) return;
    const int event = TvEvents_->indexOfTopLevelItem(item);
    if (text.isEmpty() || text == NoSound) {
        Settings_.Sounds[event].clear();
        item->setIcon(0, QIcon());
        BtnStart_->setEnabled(false);
        return;
    }
    // A folder is no sound, whatever it is called.
    if (!QFileInfo(text).isFile()) {
        BtnStart_->setEnabled(false);
        return;
    }
    Settings_.Sounds[event] = text;
    item->setIcon(0, QIcon::fromTheme(QStringLiteral("audio-volume-high"),
                                      style()->standardIcon(QStyle::SP_MediaVolume)));
    BtnStart_->setEnabled(true);
    if (CmbSound_->findText(text) < 0) CmbSound_->addItem(text);
}

void TfrmOptions::BrowseSound() {
    const QString current = CmbSound_->currentText();
    const QString chosen = Questions()->PickFile(
        QStringLiteral("Select Sound"), current == NoSound ? QString() : current,
        QStringLiteral("Sound Files (*.wav);;All Files (*)"), false);
    if (!chosen.isEmpty()) CmbSound_->setEditText(chosen);
}

void TfrmOptions::EnableFileTypeButtons() {
    BtnAdd_->setEnabled(!EditExtension_->text().isEmpty());
    BtnRemove_->setEnabled(LbExtensions_->count() > 0 && !LbExtensions_->selectedItems().isEmpty());
}

void TfrmOptions::AddExtension() {
    if (EditExtension_->text().isEmpty()) return;
    QStringList extensions;
    for (int i = 0; i < LbExtensions_->count(); ++i)
        extensions.append(LbExtensions_->item(i)->text());
    if (AddASCIIExtension(extensions, EditExtension_->text()))
        LbExtensions_->addItem(extensions.last());
    EditExtension_->clear();
}

void TfrmOptions::RemoveExtension() {
    const QList<QListWidgetItem*> selected = LbExtensions_->selectedItems();
    if (selected.isEmpty()) return;
    delete LbExtensions_->takeItem(LbExtensions_->row(selected.first()));
    EnableFileTypeButtons();
}
