#include "MimeFixtures.h"

#include <QFile>

QByteArray mimeFixture(const QString& name)
{
    QFile file(QStringLiteral(POSTRELLA_TEST_DATA "/mime/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}
