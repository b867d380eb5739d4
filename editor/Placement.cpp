#include "editor/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>

namespace zez {

QPoint Clamped(QPoint wanted, QSize frame, const QRect& area) {
    const int x = std::max(area.left(), std::min(wanted.x(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(wanted.y(), area.bottom() + 1 - frame.height()));
    return {x, y};
}

QPoint Beside(const QRect& main, QSize size, const QRect& area, const QRect& keepVisible) {
    constexpr int kGap = 8;
    const QPoint candidates[] = {{main.right() + 1 + kGap, main.top()},
                                 {main.left() - kGap - size.width(), main.top()},
                                 {main.left(), main.top()}};
    for (int i = 0; i < 3; ++i) {
        const QPoint placed = Clamped(candidates[i], size, area);
        const bool fits = placed == candidates[i] || i == 2;  // the last may be moved in
        if (fits && !QRect(placed, size).intersects(keepVisible)) return placed;
    }
    return Clamped(candidates[2], size, area);
}

QSize Fitted(QSize full, QSize frame, int bar, const QRect& area) {
    const QSize room = area.size() - frame;
    if (full.height() > room.height()) full.rwidth() += bar;
    if (full.width() > room.width()) full.rheight() += bar;
    return full.boundedTo(room).expandedTo({200, 150});
}

QString Saved(QPoint at) {
    return QStringLiteral("%1,%2").arg(at.x()).arg(at.y());
}

QPoint Restored(const QString& saved, QSize frame, QPoint current) {
    const QStringList parts = saved.split(QLatin1Char(','));
    bool okX = false, okY = false;
    const QPoint at(parts.value(0).toInt(&okX), parts.value(1).toInt(&okY));
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (parts.size() != 2 || !okX || !okY || !screen) return current;
    return Clamped(at, frame, screen->availableGeometry());
}

}  // namespace zez
