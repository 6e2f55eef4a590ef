#include "FWInternalInfoUnit.h"

#include "ComponentInfo.h"
#include "FWInternalInfoDialog.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

TFWInternalInfo::DialogHook& dialogHook()
{
    static TFWInternalInfo::DialogHook hook;
    return hook;
}

} // namespace

void TFWInternalInfo::setDialogHook(DialogHook hook)
{
    dialogHook() = std::move(hook);
}

TFWInternalInfo::TFWInternalInfo(QObject* parent) : QObject(parent) {}

void TFWInternalInfo::WriteComponentInfo(const QString& key)
{
    ComponentInfo::write(key, u"TFWInternalInfo"_s, CIVersion(), CILastCompile());
    QString programKey = key;
    if (programKey.endsWith(u'\\'))
        programKey.chop(1);
    m_componentInfoKey = programKey + u"\\CI"_s;
}

void TFWInternalInfo::ShowInternalInfo()
{
    TFWInternalInfoDialog dialog;
    dialog.setWindowTitle(u"Internal Infos"_s);
    dialog.Label1()->setText(m_link.isGerman() ? u"Die folgenden Komponenten wurden in diesem Programm verwendet :"_s
                                               : u"The following components are included in this application :"_s);
    dialog.AssembleDisplay(m_componentInfoKey);
    if (dialogHook())
        dialogHook()(dialog);
    dialog.exec();
}
