#include "views/FileMasks.h"

const QList<TMaskPreset>& MaskPresets() {
    static const QList<TMaskPreset> presets = [] {
        const std::pair<const char*, const char*> rows[] = {
            {"Archive Files", "*.zip;*.arj;*.a??;*.rar;*.r??;*.z"},
            {"Image Files", "*.gif;*.jpg;*.bmp;*.png"},
            {"HTML Files", "*.htm;*.html;*.asp;*.shtml"},
            {"All Files", "*.*"},
        };
        QList<TMaskPreset> list;
        for (const auto& [name, mask] : rows)
            list.append({QStringLiteral("%1 (%2)").arg(QLatin1String(name), QLatin1String(mask)),
                         QLatin1String(mask)});
        return list;
    }();
    return presets;
}

QString MaskOfText(const QString& text) {
    for (const TMaskPreset& preset : MaskPresets())
        if (text.trimmed() == preset.Caption) return preset.Mask;
    return text;
}

QString QuickMaskCaption(int number, const QString& mask) {
    QString shown = mask;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + QString::number(number) + QLatin1Char(' ') + shown;
}

void TQuickMasks::Remember(const QString& mask) {
    const QString text = mask.trimmed();
    if (text.isEmpty()) return;
    Masks_.removeAll(text);
    Masks_.prepend(text);
    while (Masks_.size() > Kept)
        Masks_.removeLast();
}
