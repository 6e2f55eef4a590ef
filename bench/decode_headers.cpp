// Prints, for every file named on the command line, its bytes and the text
// the header decoder reads in them, both as hex and tab-separated, for
// compare_headers.py to set beside Python's email library.
#include "HeaderText.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray raw = file.readAll();
        std::printf("%s\t%s\n", raw.toHex().constData(), HeaderText::decode(raw).toUtf8().toHex().constData());
    }
    return 0;
}
