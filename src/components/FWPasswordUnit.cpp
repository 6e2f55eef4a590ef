#include "FWPasswordUnit.h"

#include "ComponentInfo.h"
#include "Dialogs.h"
#include "FWPasswordDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

TFWPassword::DialogHook& dialogHook()
{
    static TFWPassword::DialogHook hook;
    return hook;
}

} // namespace

void TFWPassword::setDialogHook(DialogHook hook)
{
    dialogHook() = std::move(hook);
}

TFWPassword::TFWPassword(QObject* parent) : QObject(parent) {}

bool TFWPassword::showModal(TFWPasswordDialog& dialog)
{
    if (dialogHook())
        dialogHook()(dialog);
    return dialog.exec() == QDialog::Accepted;
}

bool TFWPassword::Execute()
{
    TFWPasswordDialog dialog;
    if (m_link.isGerman()) {
        dialog.name1()->setText(u"Benutzer eingeben:"_s);
        dialog.password1()->setText(u"Passwort eingeben:"_s);
        dialog.Lretype()->setText(u"Passwort doppelt eintragen"_s);
    } else {
        dialog.name1()->setText(u"Enter user:"_s);
        dialog.password1()->setText(u"Enter password:"_s);
        dialog.Lretype()->setText(u"Set password and retype"_s);
        for (QPushButton* button : {dialog.PwButton2(), dialog.PwButton4()}) {
            button->setText(u"Confirm"_s);
            button->setAccessibleName(button->text());
        }
        for (QPushButton* button : {dialog.PwButton1(), dialog.PwButton3()}) {
            button->setText(u"Cancel"_s);
            button->setAccessibleName(button->text());
        }
    }
    for (QLabel* label : {dialog.name1(), dialog.password1(), dialog.Lretype()}) {
        label->adjustSize();
        label->setAccessibleName(label->text());
    }
    if (m_user) {
        dialog.name1()->setVisible(true);
        dialog.name2()->setVisible(true);
    }

    bool result = false;
    switch (m_mode) {
    case ModeMenge::Get:
    case ModeMenge::Put:
        dialog.showQueryPanel();
        if (m_mode == ModeMenge::Put)
            dialog.name2()->setText(m_userName);
        showModal(dialog);
        m_password = dialog.Get1()->text();
        m_userName = dialog.name2()->text();
        break;
    case ModeMenge::Write:
        dialog.showEntryPanel();
        showModal(dialog);
        m_password = dialog.Set2()->text();
        break;
    case ModeMenge::Retype:
        dialog.showQueryPanel();
        if (!showModal(dialog))
            break;
        if (dialog.Get1()->text() != m_password) {
            Dialogs::message(Dialogs::Kind::Error, u"The password is wrong !"_s);
            break;
        }
        dialog.showEntryPanel();
        if (showModal(dialog) && dialog.Set1()->text() == dialog.Set2()->text()) {
            m_password = dialog.Set2()->text();
            result = true;
        }
        break;
    }
    return result;
}

void TFWPassword::WriteComponentInfo(const QString& key) const
{
    ComponentInfo::write(key, u"TFWPassword"_s, CIVersion(), CILastCompile());
}
