#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The masks a user picks from rather than types: the four presets of the mask window and
// of the quick-mask menu, and the masks typed in this run, newest first.

struct TMaskPreset {
    QString Caption; // "Image Files (*.gif;*.jpg;*.bmp;*.png)"
    QString Mask;    // "*.gif;*.jpg;*.bmp;*.png"
};

// The presets in their order: archives, images, HTML, all files.
const QList<TMaskPreset>& MaskPresets();

// The mask a text of the mask window stands for: a preset's caption gives its mask, any
// other text is the mask as typed.
QString MaskOfText(const QString& text);

// The quick-mask menu's entry for a mask, numbered from 1 (presets) to 8: the number as its
// mnemonic, then the mask with its own "&" shown as typed.
QString QuickMaskCaption(int number, const QString& mask);

// The last masks typed, newest first, at most four. Kept as typed, never read back from
// a menu caption, so that "a (1).txt" and "R&D*" come back unchanged.
class TQuickMasks {
public:
    static constexpr int Kept = 4;

    // The mask goes to the top; one already kept moves there instead of appearing twice.
    // Blanks around it are dropped and an empty text is not kept.
    void Remember(const QString& mask);
    const QStringList& Masks() const { return Masks_; }

private:
    QStringList Masks_;
};
