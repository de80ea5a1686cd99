#include "app/MaskWindow.h"

#include "views/FileMasks.h"
#include "views/widgets/DialogButtons.h"
#include "views/widgets/HostView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TfrmMask::TfrmMask(TCustomView* view, QWidget* parent) : QDialog(parent), View_(view) {
    setWindowTitle(QStringLiteral("Mask"));
    auto* prompt = new QLabel(qobject_cast<THostView*>(view)
                                  ? QStringLiteral("Enter a mask for the host directory:")
                                  : QStringLiteral("Enter a mask for the local directory:"),
                              this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    Combo_ = new QComboBox(this);
    Combo_->setObjectName(QStringLiteral("cmboMask"));
    Combo_->setEditable(true);
    Combo_->setInsertPolicy(QComboBox::NoInsert);
    Combo_->setCompleter(nullptr); // it would turn a typed "*.h" into a preset's caption
    for (const TMaskPreset& preset : MaskPresets())
        Combo_->addItem(preset.Caption, preset.Mask);
    // No preset is current, so that the first key down picks the first one.
    Combo_->setCurrentIndex(-1);
    Combo_->setEditText(view ? view->GetMask() : QString());
    Combo_->lineEdit()->selectAll();
    prompt->setBuddy(Combo_);
    // A preset picked from the list leaves only its mask in the box; the combo writes the
    // caption first, so the mask follows once it has.
    connect(Combo_, &QComboBox::activated, this, [this](int index) {
        QMetaObject::invokeMethod(
            this,
            [this, index] {
                Combo_->setEditText(Combo_->itemData(index).toString());
                Combo_->lineEdit()->selectAll();
            },
            Qt::QueuedConnection);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(Combo_);
    layout->addSpacing(6);
    layout->addLayout(MakeDialogButtons(this).Row);
    Combo_->setMinimumWidth(fontMetrics().horizontalAdvance(MaskPresets().first().Caption) + 48);
    Combo_->setFocus();
    setFixedSize(sizeHint());
}

QString TfrmMask::Mask() const {
    return MaskOfText(Combo_->currentText()).trimmed();
}

void TfrmMask::accept() {
    if (View_) View_->SetMask(Mask());
    QDialog::accept();
}
