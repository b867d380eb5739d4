#pragma once
// Where no session gives the programs a runtime folder (XDG_RUNTIME_DIR unset, as under su or in
// a container), they make the private one Qt would fall back to, without Qt's warning about it.

#include <QDir>
#include <QFile>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace zez {

inline bool StderrIsTerminal() {
#ifdef Q_OS_UNIX
    return isatty(2) != 0;
#else
    return false;
#endif
}

inline void EnsureRuntimeDir() {
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    const QString dir = QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(getuid());
    if (!QDir().mkpath(dir)) return;
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
#endif
}

}  // namespace zez
