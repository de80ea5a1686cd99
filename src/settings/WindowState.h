#pragma once

#include <QList>
#include <QRect>

// The main window's shape as kept between runs, and the checks that make stored
// values usable: a value edited by hand, or left by a run on a larger or detached
// screen, must never give an unusable window.

inline constexpr int DefaultWindowLeft = 160;
inline constexpr int DefaultWindowTop = 90;
inline constexpr int DefaultWindowWidth = 640;
inline constexpr int DefaultWindowHeight = 480;
// A log lower than this has no room for a line: it counts as hidden.
inline constexpr int MinLogHeight = 12;

enum TWindowShowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

struct TWindowPlacement {
    TWindowShowState State = wsNormal;
    // The normal bounds: position of the frame, size of the window.
    QRect Bounds{DefaultWindowLeft, DefaultWindowTop, DefaultWindowWidth, DefaultWindowHeight};
};

// The stored state and bounds checked against the available areas of the screens
// (the first one is the primary): an unknown state is normal; a width or height of
// zero or less takes its default; bounds that touch no screen take the default
// position; then the window is made to fit the screen it is most on. No screens: only
// the value checks.
TWindowPlacement CheckedPlacement(int state, const QRect& bounds, const QList<QRect>& screens);

// The bounds of a first window, with nothing stored yet: four fifths of the available
// area of the screen, centred, but never smaller than the default size where the screen
// has room for it. An empty area gives the default bounds.
QRect FirstWindowBounds(const QRect& screen);

// A view style (0 large icons, 1 small icons, 2 list, 3 details), else the fallback.
int CheckedViewStyle(int style, int fallback);

// A stored column width, else the column's present width.
int CheckedColumnWidth(int stored, int present);

struct TLogShape {
    bool Shown = true;
    int Height = 0; // shown: the height; hidden: the height to show it with again
};
// The stored log height: below MinLogHeight the log starts hidden; a negative value
// is not one the window writes and takes the fallback.
TLogShape CheckedLogHeight(int stored, int fallback);

// The height a hidden log remembers.
inline int RememberedLogHeight(int height) {
    return height < MinLogHeight ? MinLogHeight : height;
}
