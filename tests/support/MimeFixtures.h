#pragma once

#include <QByteArray>
#include <QString>

// A file of tests/data/mime, byte for byte; a missing fixture stops the test program.
QByteArray mimeFixture(const QString& name);
