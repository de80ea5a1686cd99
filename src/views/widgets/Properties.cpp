#include "views/widgets/Properties.h"

#include "listing/RemoteItem.h"
#include "views/widgets/DialogButtons.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// Box order: owner, group, everyone; read, write, execute within each.
constexpr uint16_t BoxBits[9] = {raOwnerRead,  raOwnerWrite,  raOwnerExecute,
                                 raGroupRead,  raGroupWrite,  raGroupExecute,
                                 raOthersRead, raOthersWrite, raOthersExecute};
const char* const BoxNames[9] = {"cbOwnerRead", "cbOwnerWrite", "cbOwnerExecute",
                                 "cbGroupRead", "cbGroupWrite", "cbGroupExecute",
                                 "cbAllRead",   "cbAllWrite",   "cbAllExecute"};
const char* const BoxTexts[3] = {"Read", "Write", "Execute"};
const char* const ColumnTexts[3] = {"Owner", "Group", "Everyone"};

QFrame* Line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

TfrmProperties::TfrmProperties(const QList<TPropertiesRecord>& items, const QString& folder,
                               QChar separator, bool remote, QWidget* parent)
    : QDialog(parent) {
    for (const TPropertiesRecord& record : items)
        Items_.append(record);
    Initial_ = InitialPermissionBoxes(Items_);
    Editable_ = remote && PermissionsKnown(Items_);
    setWindowTitle(PropertiesTexts(Items_, folder, separator).Caption);

    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(BuildGeneralPage(items, folder, separator), QStringLiteral("General"));
    layout->addWidget(tabs);
    layout->addLayout(MakeDialogButtons(this).Row);
}

QWidget* TfrmProperties::BuildGeneralPage(const QList<TPropertiesRecord>& items,
                                          const QString& folder, QChar separator) {
    const TPropertiesTexts texts = PropertiesTexts(Items_, folder, separator);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(page);
    if (!items.isEmpty()) icon->setPixmap(items.first().Icon.pixmap(32, 32));
    head->addWidget(icon);
    auto* name = new QLabel(texts.Name, page);
    name->setObjectName(QStringLiteral("lbName"));
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    head->addWidget(name, 1);
    layout->addLayout(head);
    layout->addWidget(Line(page));

    auto* form = new QFormLayout;
    const auto addRow = [&](const QString& label, const QString& text) {
        auto* value = new QLabel(text, page);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    };
    addRow(QStringLiteral("Type:"), texts.Type);
    addRow(QStringLiteral("Location:"), texts.Location);
    addRow(QStringLiteral("Size"), texts.Size);
    addRow(QStringLiteral("Modified"), texts.Date);
    layout->addLayout(form);
    layout->addWidget(Line(page));
    layout->addWidget(BuildAttributes());
    layout->addStretch(1);
    return page;
}

QWidget* TfrmProperties::BuildAttributes() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("Attributes:"), box);
    caption->setEnabled(Editable_);
    grid->addWidget(caption, 0, 0);
    for (int column = 0; column < 3; ++column) {
        auto* label = new QLabel(QString::fromLatin1(ColumnTexts[column]), box);
        label->setEnabled(Editable_);
        grid->addWidget(label, 0, column + 1);
        for (int row = 0; row < 3; ++row) {
            const int i = column * 3 + row;
            auto* check = new QCheckBox(QString::fromLatin1(BoxTexts[row]), box);
            check->setObjectName(QString::fromLatin1(BoxNames[i]));
            // Where the items differ the box starts half checked and may go back there,
            // which leaves each item's own bit alone.
            if (Initial_.Partial & BoxBits[i]) {
                check->setTristate(true);
                check->setCheckState(Qt::PartiallyChecked);
            } else {
                check->setChecked(Initial_.Checked & BoxBits[i]);
            }
            check->setEnabled(Editable_);
            Boxes_[i] = check;
            grid->addWidget(check, row + 1, column + 1);
        }
    }
    return box;
}

TPermissionBoxes TfrmProperties::Boxes() const {
    TPermissionBoxes boxes;
    for (int i = 0; i < 9; ++i) {
        const Qt::CheckState state = Boxes_[i]->checkState();
        if (state == Qt::Checked)
            boxes.Checked |= BoxBits[i];
        else if (state == Qt::PartiallyChecked)
            boxes.Partial |= BoxBits[i];
    }
    return boxes;
}

void TfrmProperties::accept() {
    Changed_.clear();
    if (Editable_) {
        const TPermissionBoxes now = Boxes();
        Changed_ = NewAttributes(Items_, ChangedPermissions(Initial_, now), now.Checked);
    }
    QDialog::accept();
}
