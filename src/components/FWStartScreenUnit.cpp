#include "FWStartScreenUnit.h"

#include "ComponentInfo.h"
#include "FWShadowLabel.h"
#include "FWStartScreenForm.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <new>

using namespace Qt::StringLiterals;

namespace {

void style(TFWShadowLabel* label, const TFWFont& font, const QColor& shadowColor, quint8 shadowDeep)
{
    font.applyTo(label);
    label->setShadowColor(shadowColor);
    label->setShadowDeep(shadowDeep);
}

// The letters overlap as designed, but a larger font must not cut them off.
void widenToFit(QLabel* label)
{
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
}

// An unreadable file gives a null picture, never an error.
QPixmap loadPicture(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace

TFWStartScreenA::TFWStartScreenA(QObject* parent) : QObject(parent) {}

TFWStartScreenA::~TFWStartScreenA()
{
    delete m_form.data();
}

void TFWStartScreenA::ShowStartScreen()
{
    m_form.clear();
    TStartScreenFormular* form = nullptr;
    try {
        form = new TStartScreenFormular;
    } catch (const std::bad_alloc&) {
        return; // no start screen; the program goes on
    }
    m_form = form;

    form->ImageHinter()->setPixmap(loadPicture(m_bitmap));

    form->LabelCompany()->setText(m_companyNameLong);
    style(form->LabelCompany(), m_companyFont, m_companyShadowColor, m_companyShadowDeep);
    form->LabelCompany()->adjustSize();

    form->LabelCompanyOben()->setText(m_companyNameLong + u" "_s);
    style(form->LabelCompanyOben(), m_companyObenFont, m_companyObenShadowColor, m_companyObenShadowDeep);

    for (TFWShadowLabel* logo : {form->LabelFWLogo1(), form->LabelFWLogo2()}) {
        if (m_showLogo) {
            style(logo, m_logoFont, m_logoShadowColor, m_logoShadowDeep);
            widenToFit(logo);
        }
        logo->setVisible(m_showLogo);
    }

    if (m_showVersion) {
        form->LabelVersion()->setText(u"Version "_s + m_versionPrg);
        style(form->LabelVersion(), m_versionFont, m_versionShadowColor, m_versionShadowDeep);
    }
    form->LabelVersion()->setVisible(m_showVersion);

    form->LabelVersionFor()->setText(m_textVersionFor);
    m_otherFont.applyTo(form->LabelVersionFor());

    if (m_showYear) {
        form->LabelCopyright()->setText(u"(c) "_s + m_companyNameLong + u" "_s + m_year);
        m_otherFont.applyTo(form->LabelCopyright());
    }
    form->LabelCopyright()->setVisible(m_showYear);

    form->LabelProgramName()->setText(m_showCompanyNameShort ? m_companyNameShort + u"-"_s + m_programName
                                                             : m_programName);
    style(form->LabelProgramName(), m_programNameFont, m_programNameShadowColor, m_programNameShadowDeep);

    form->Timer()->setInterval(m_displayTime);
    form->show();
    // The screen is complete before the caller goes on with its own work.
    form->repaint();
}

void TFWStartScreenA::WriteComponentInfo(const QString& key) const
{
    ComponentInfo::write(key, u"TFWStartScreenA"_s, CIVersion(), CILastCompile());
}
