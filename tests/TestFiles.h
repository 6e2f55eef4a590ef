#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// Puts the bytes into the file as they are, replacing what was there.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
