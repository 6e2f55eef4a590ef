#pragma once

#include "FWOnlineHelpUnit.h"
#include "TestEnvironment.h"

#include <QString>

// As the main window sets the help up at start-up.
inline void configure(TFWOnlineHelp& help, const TestEnvironment& env, const QString& letter = QStringLiteral("D"))
{
    using namespace Qt::StringLiterals;
    help.setLanguageCodeLetter(letter);
    help.setContentsPage(u"index.htm"_s);
    help.setRegistryKey(u"Software\\Fernwick\\FW-Postrella\\OnlineHelp"_s);
    help.setFileNameAdditional(u"extended.ohlp"_s);
    help.setFileNameBasicHelp(u"basic.ohlp"_s);
    help.setPathToCompressedHelp(env.path(u"help/source"_s));
    help.setPathToUncompressedHelp(env.path(u"help"_s));
    help.setPathToUnzipLibrary(env.path(u"system"_s));
}
