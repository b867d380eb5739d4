#pragma once
// Where windows go on the screen: never where their title bar or menus cannot be reached, and
// the Logic window beside the main window without covering its output selector.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace zez {

// The top left for a window of `frame` size placed at `wanted` in the available `area`: moved
// in as far as it fits, and never above or left of the area, so its title bar and menus stay
// reachable when it is larger than the screen.
QPoint Clamped(QPoint wanted, QSize frame, const QRect& area);

// Beside `main` (right, else left) where the area has room; else over the main window's left
// part, so that `keepVisible` (the output selector, in screen coordinates) is never covered when
// that can be helped.
QPoint Beside(const QRect& main, QSize size, const QRect& area, const QRect& keepVisible);

// The size of a window whose content wants `full` (its frame adds `frame`) in the available
// `area`: all of it where there is room; else as much as fits, with room for the scroll bar
// (`bar` wide) that the content then needs across.
QSize Fitted(QSize full, QSize frame, int bar, const QRect& area);

// A position as remembered between runs ("x,y"), and back: moved in to fit the screen it is on
// now, or `current` when it is on none or not a position.
QString Saved(QPoint at);
QPoint Restored(const QString& saved, QSize frame, QPoint current);

}  // namespace zez
