#include "app/QuickMaskMenu.h"

TQuickMaskMenu::TQuickMaskMenu(QWidget* parent) : QMenu(parent) {
    setObjectName(QStringLiteral("mnuQuickMasks"));
    int number = 0;
    const auto add = [this, &number](const QString& caption, const QString& mask) {
        QAction* action = addAction(caption);
        action->setObjectName(QStringLiteral("actQuickMask%1").arg(++number));
        action->setData(mask);
        return action;
    };
    for (const TMaskPreset& preset : MaskPresets())
        add(QuickMaskCaption(number + 1, preset.Caption), preset.Mask);
    Separator_ = addSeparator();
    Separator_->setVisible(false);
    for (QAction*& action : Custom_) {
        action = add(QString(), QString());
        action->setVisible(false);
    }
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        if (OnChosen) OnChosen(Host_, action->data().toString());
    });
}

void TQuickMaskMenu::Remember(const QString& mask) {
    Masks_.Remember(mask);
    const QStringList& masks = Masks_.Masks();
    for (int i = 0; i < TQuickMasks::Kept; ++i) {
        QAction* action = Custom_[size_t(i)];
        const QString text = masks.value(i);
        action->setText(QuickMaskCaption(int(MaskPresets().size()) + i + 1, text));
        action->setData(text);
        action->setVisible(i < masks.size());
    }
    Separator_->setVisible(!masks.isEmpty());
}

void TQuickMaskMenu::PopupUnder(QWidget* button, bool host) {
    Host_ = host;
    popup(button->mapToGlobal(button->rect().bottomLeft()));
}
