#include "DovecotServer.h"
#include "Pop3Client.h"

#include <QTest>

int main()
{
    return 0;
}
