#include "FWInfoScreenForm.h"

#include "FWInternalInfoUnit.h"
#include "FWLinkLabel.h"
#include "FWShadowLabel.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

template <typename Label>
Label* place(Label* label, const QString& name, QRect geometry, Qt::Alignment alignment = Qt::AlignLeft)
{
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

} // namespace

TInfoScreenFormular::TInfoScreenFormular(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"InfoScreenFormular"_s);
    setWindowTitle(u"Infos"_s);
    setFixedSize(500, 300);
    QFont windowFont(u"Arial"_s);
    windowFont.setPixelSize(13);
    windowFont.setBold(true);
    setFont(windowFont);

    m_programName = place(new TFWShadowLabel(this), u"LabelProgramName"_s, {65, 45, 290, 45}, Qt::AlignHCenter);
    m_version = place(new QLabel(this), u"LabelVersion"_s, {65, 98, 290, 20}, Qt::AlignHCenter);
    m_copyright = place(new QLabel(this), u"LabelCopyright"_s, {65, 120, 290, 20}, Qt::AlignHCenter);
    m_logo1 = place(new TFWShadowLabel(this), u"LabelFWLogo1"_s, {435, 20, 35, 55});
    m_logo1->setText(u"F"_s);
    m_logo2 = place(new TFWShadowLabel(this), u"LabelFWLogo2"_s, {455, 30, 27, 55});
    m_logo2->setText(u"W"_s);
    m_urlBez = place(new QLabel(u"Internet :"_s, this), u"LabelURLBez"_s, {287, 225, 50, 16});
    m_urlBez->adjustSize();
    m_urlWeb = place(new TFWLinkLabel(this), u"URLLabelWeb"_s, {342, 225, 150, 16});
    m_mailBez = place(new QLabel(u"eMail :"_s, this), u"LabelMailBez"_s, {302, 245, 40, 16});
    m_mailBez->adjustSize();
    m_urlMail = place(new TFWLinkLabel(this), u"URLLabelMail"_s, {342, 245, 150, 16});
    m_buttonOK = makeButton(this, u"ButtonOK"_s, u"OK"_s, {200, 260, 100, 35});
    m_buttonOK->setDefault(true);
    m_buttonInternal = makeButton(this, u"ButtonInternal"_s, u"Internal"_s, {415, 270, 75, 25});
    m_buttonInternal->setAutoDefault(false);

    connect(m_buttonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_buttonInternal, &QPushButton::clicked, this, &TInfoScreenFormular::ButtonInternalClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TInfoScreenFormular::ButtonInternalClick()
{
    if (m_internalInfo)
        m_internalInfo->ShowInternalInfo();
}

// The window's own picture: a calm light wash from the program's peach to
// white, so the black texts and links stay readable everywhere.
void TInfoScreenFormular::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient wash(0, 0, 0, height());
    wash.setColorAt(0.0, QColor(255, 220, 193));
    wash.setColorAt(1.0, QColor(250, 247, 242));
    painter.fillRect(rect(), wash);
    painter.setPen(QPen(QColor(20, 30, 80), 2));
    painter.drawLine(65, 150, 355, 150);
}
