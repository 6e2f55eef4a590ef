#include "FWInfoScreenUnit.h"

#include "FWInfoScreenForm.h"
#include "FWInternalInfoUnit.h"
#include "FWLinkLabel.h"
#include "FWShadowLabel.h"

#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <new>

using namespace Qt::StringLiterals;

namespace {

TFWInfoScreenA::DialogHook& dialogHook()
{
    static TFWInfoScreenA::DialogHook hook;
    return hook;
}

} // namespace

void TFWInfoScreenA::setDialogHook(DialogHook hook)
{
    dialogHook() = std::move(hook);
}

TFWInfoScreenA::TFWInfoScreenA(QObject* parent) : QObject(parent) {}

void TFWInfoScreenA::ShowInfoScreen()
{
    std::unique_ptr<TInfoScreenFormular> form;
    try {
        form = std::make_unique<TInfoScreenFormular>();
    } catch (const std::bad_alloc&) {
        return; // nothing is shown, no message
    }

    form->setInternalInfo(m_internalInfo.data());
    form->ButtonInternal()->setVisible(!m_internalInfo.isNull());

    for (TFWShadowLabel* logo : {form->LabelFWLogo1(), form->LabelFWLogo2()}) {
        if (m_showLogo) {
            m_logoFont.applyTo(logo);
            logo->setShadowColor(m_logoShadowColor);
            logo->setShadowDeep(m_logoShadowDeep);
            // The letters overlap as designed, but a larger font must not cut them off.
            logo->resize(std::max(logo->width(), logo->sizeHint().width()), logo->height());
        }
        logo->setVisible(m_showLogo);
    }

    TFWShadowLabel* name = form->LabelProgramName();
    name->setText(m_showCompanyNameShort ? m_companyNameShort + u"-"_s + m_programName : m_programName);
    m_programNameFont.applyTo(name);
    name->setShadowColor(m_programNameShadowColor);
    name->setShadowDeep(m_programNameShadowDeep);

    if (m_showVersion) {
        form->LabelVersion()->setText(u"Version "_s + m_versionPrg);
        m_versionFont.applyTo(form->LabelVersion());
    }
    form->LabelVersion()->setVisible(m_showVersion);

    if (m_showYear)
        form->LabelCopyright()->setText(u"(c) "_s + m_year + u" "_s + m_companyNameLong);
    form->LabelCopyright()->setVisible(m_showYear);

    if (m_showURL)
        form->URLLabelWeb()->setLink(m_url, QUrl::fromUserInput(m_url));
    form->URLLabelWeb()->setVisible(m_showURL);
    form->LabelURLBez()->setVisible(m_showURL);

    if (m_showMail) {
        QUrl mailTo;
        mailTo.setScheme(u"mailto"_s);
        mailTo.setPath(m_mail);
        form->URLLabelMail()->setLink(m_mail, mailTo);
    }
    form->URLLabelMail()->setVisible(m_showMail);
    form->LabelMailBez()->setVisible(m_showMail);

    if (dialogHook())
        dialogHook()(*form);
    form->exec();
}
