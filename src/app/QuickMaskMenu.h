#pragma once

#include "views/FileMasks.h"

#include <QMenu>

#include <array>
#include <functional>

// The menu both sides' "File Mask" buttons open with the right mouse button: the presets
// as entries 1 to 4, then the masks typed in this run as 5 to 8, newest first, hidden
// with their separator until the first one is remembered. Entries carry their masks.
class TQuickMaskMenu : public QMenu {
    Q_OBJECT
public:
    explicit TQuickMaskMenu(QWidget* parent = nullptr);

    void Remember(const QString& mask);
    const TQuickMasks& Masks() const { return Masks_; }

    // Opens under the button (at its lower left corner) for one side.
    void PopupUnder(QWidget* button, bool host);
    // A mask chosen, and for which side.
    std::function<void(bool host, const QString& mask)> OnChosen;

private:
    TQuickMasks Masks_;
    QAction* Separator_ = nullptr;
    std::array<QAction*, TQuickMasks::Kept> Custom_ = {};
    bool Host_ = false;
};
