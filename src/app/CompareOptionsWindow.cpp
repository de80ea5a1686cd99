#include "app/CompareOptionsWindow.h"

#include "app/Help.h"
#include "views/widgets/DialogButtons.h"

#include <QCheckBox>
#include <QPointer>
#include <QVBoxLayout>

TfrmCompareOptions::TfrmCompareOptions(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Comparaison Options"));
    SetHelpContext(this, hcCompareOptions);
    const TCompareOptions defaults;
    IgnoreSize_ = new QCheckBox(QStringLiteral("Ignore size difference"), this);
    IgnoreSize_->setObjectName(QStringLiteral("cbIgnoreSize"));
    IgnoreSize_->setChecked(defaults.IgnoreSize);
    IgnoreDate_ = new QCheckBox(QStringLiteral("Ignore date difference"), this);
    IgnoreDate_->setObjectName(QStringLiteral("cbIgnoreDate"));
    IgnoreDate_->setChecked(defaults.IgnoreDate);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(IgnoreSize_);
    layout->addWidget(IgnoreDate_);
    layout->addSpacing(8);
    layout->addLayout(
        MakeDialogButtons(this, [this] { ShowHelpTopic(hcCompareOptions, this); }).Row);
    setFixedSize(sizeHint());
}

TCompareOptions TfrmCompareOptions::Options() const {
    return {IgnoreSize_->isChecked(), IgnoreDate_->isChecked()};
}

std::optional<TCompareOptions> TfrmCompareOptions::Ask(QWidget* parent) {
    QPointer<TfrmCompareOptions> dialog = new TfrmCompareOptions(parent);
    const bool ok = dialog->exec() == QDialog::Accepted;
    // The parent (and the dialog with it) may be gone when the window closed meanwhile.
    if (!dialog) return std::nullopt;
    std::optional<TCompareOptions> options;
    if (ok) options = dialog->Options();
    delete dialog;
    return options;
}
