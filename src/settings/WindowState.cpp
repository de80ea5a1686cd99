#include "settings/WindowState.h"

#include <algorithm>

namespace {

qint64 Overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

// Moves and shrinks the bounds until they lie inside the area.
QRect FitInto(QRect bounds, const QRect& area) {
    bounds.setWidth(std::min(bounds.width(), area.width()));
    bounds.setHeight(std::min(bounds.height(), area.height()));
    const int left =
        std::clamp(bounds.left(), area.left(), area.left() + area.width() - bounds.width());
    const int top =
        std::clamp(bounds.top(), area.top(), area.top() + area.height() - bounds.height());
    bounds.moveTo(left, top);
    return bounds;
}

} // namespace

TWindowPlacement CheckedPlacement(int state, const QRect& bounds, const QList<QRect>& screens) {
    TWindowPlacement placement;
    if (state == wsMinimized || state == wsMaximized) placement.State = TWindowShowState(state);
    // QRect keeps x2 = x + width - 1, so the stored width is read from there.
    const int width = bounds.width() > 0 ? bounds.width() : DefaultWindowWidth;
    const int height = bounds.height() > 0 ? bounds.height() : DefaultWindowHeight;
    QRect result(bounds.left(), bounds.top(), width, height);

    const QRect* best = nullptr;
    qint64 bestOverlap = 0;
    for (const QRect& screen : screens) {
        if (screen.isEmpty()) continue;
        if (const qint64 overlap = Overlap(result, screen); overlap > bestOverlap) {
            best = &screen;
            bestOverlap = overlap;
        }
    }
    if (!best) {
        // Off every screen: the default position on the first screen there is.
        for (const QRect& screen : screens)
            if (!screen.isEmpty()) {
                best = &screen;
                result.moveTo(DefaultWindowLeft, DefaultWindowTop);
                break;
            }
    }
    placement.Bounds = best ? FitInto(result, *best) : result;
    return placement;
}

QRect FirstWindowBounds(const QRect& screen) {
    if (screen.isEmpty())
        return {DefaultWindowLeft, DefaultWindowTop, DefaultWindowWidth, DefaultWindowHeight};
    const int width =
        std::min(screen.width(), std::max(DefaultWindowWidth, screen.width() * 4 / 5));
    const int height =
        std::min(screen.height(), std::max(DefaultWindowHeight, screen.height() * 4 / 5));
    return {screen.left() + (screen.width() - width) / 2,
            screen.top() + (screen.height() - height) / 2, width, height};
}

int CheckedViewStyle(int style, int fallback) {
    return style >= 0 && style <= 3 ? style : fallback;
}

int CheckedColumnWidth(int stored, int present) {
    return stored > 0 ? stored : present;
}

TLogShape CheckedLogHeight(int stored, int fallback) {
    if (stored < 0) return {true, fallback};
    if (stored < MinLogHeight) return {false, fallback};
    return {true, stored};
}
