#pragma once
// Paths between Qt's strings and the core's std::filesystem::path: UTF-16 to the wide path on
// Windows (no code page in between), the file system's own bytes elsewhere.

#include <QFile>
#include <QString>
#include <filesystem>

namespace zez {

inline std::filesystem::path LocalPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

inline QString QtPath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

}  // namespace zez
