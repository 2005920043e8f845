#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole file, or nothing where it cannot be read.
QByteArray fileBytes(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);
bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions);
