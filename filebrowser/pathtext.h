#pragma once
// Paths cross between the core, which keeps them as the file system's raw bytes, and Qt, which
// shows them as text, through these two functions only. Both go through the file name codec, so
// a name that is valid in the locale's encoding comes back byte for byte.

#include <QFile>
#include <QString>
#include <string>

inline QString PathText(const std::string &path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

inline std::string PathBytes(const QString &path) { return QFile::encodeName(path).toStdString(); }
