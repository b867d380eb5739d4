#pragma once
// The fonts the windows were drawn for, by families each system has; elsewhere (Linux) the same
// request as always, which the system's sans serif or monospace answers.

#include <QFont>
#include <QStringList>

namespace zez {

// "MS Sans Serif": on Windows its scalable successor, on macOS a close relative.
inline QFont ClassicSans(double points) {
    QFont f;
    f.setFamilies(QStringList {
#if defined(Q_OS_WIN)
        QStringLiteral("Microsoft Sans Serif"),
#elif defined(Q_OS_MACOS)
        QStringLiteral("Lucida Grande"), QStringLiteral("Helvetica"),
#endif
            QStringLiteral("MS Sans Serif")
    });
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    return f;
}

inline QFont Monospace() {
    QFont f;
    f.setFamilies(QStringList {
#if defined(Q_OS_WIN)
        QStringLiteral("Consolas"),
#elif defined(Q_OS_MACOS)
        QStringLiteral("Menlo"),
#endif
            QStringLiteral("Monospace")
    });
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

}  // namespace zez
