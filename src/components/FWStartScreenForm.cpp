#include "FWStartScreenForm.h"

#include "FWShadowLabel.h"
#include "WindowAccessibility.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

template <typename Label>
Label* makeLabel(QWidget* parent, const QString& name, QRect geometry, Qt::Alignment alignment)
{
    auto* label = new Label(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TStartScreenFormular::TStartScreenFormular(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    WindowAccessibility::install();
    setObjectName(u"StartScreenFormular"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(3);
    setFixedSize(500, 270);

    m_panel = new QFrame(this);
    m_panel->setObjectName(u"Panel1"_s);
    m_panel->setGeometry(3, 3, 494, 264);
    m_panel->setAutoFillBackground(true);
    QPalette silver = m_panel->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    m_panel->setPalette(silver);

    m_image = new QLabel(m_panel);
    m_image->setObjectName(u"ImageHinter"_s);
    m_image->setGeometry(0, 0, 494, 264);
    m_image->setAlignment(Qt::AlignCenter);

    m_companyOben = makeLabel<TFWShadowLabel>(m_panel, u"LabelCompanyOben"_s, {210, 5, 280, 25}, Qt::AlignRight);
    m_company = makeLabel<TFWShadowLabel>(m_panel, u"LabelCompany"_s, {210, 88, 100, 25}, Qt::AlignLeft);
    m_logo1 = makeLabel<TFWShadowLabel>(m_panel, u"LabelFWLogo1"_s, {420, 70, 35, 55}, Qt::AlignLeft);
    m_logo1->setText(u"F"_s);
    m_logo2 = makeLabel<TFWShadowLabel>(m_panel, u"LabelFWLogo2"_s, {440, 80, 27, 55}, Qt::AlignLeft);
    m_logo2->setText(u"W"_s);
    m_programName = makeLabel<TFWShadowLabel>(m_panel, u"LabelProgramName"_s, {205, 140, 285, 65}, Qt::AlignHCenter);
    m_programName->setWordWrap(true);
    m_version = makeLabel<TFWShadowLabel>(m_panel, u"LabelVersion"_s, {205, 210, 285, 30}, Qt::AlignHCenter);
    m_versionFor = makeLabel<QLabel>(m_panel, u"LabelVersionFor"_s, {205, 245, 285, 15}, Qt::AlignHCenter);
    // The notice line sits at the bottom left, under the picture's calm corner.
    m_copyright = makeLabel<QLabel>(m_panel, u"LabelCopyright"_s, {8, 245, 190, 15}, Qt::AlignLeft);

    m_timer = new QTimer(this);
    m_timer->setObjectName(u"Timer"_s);
    m_timer->setInterval(5000);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TStartScreenFormular::TimerTimer);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TStartScreenFormular::showEvent(QShowEvent* event)
{
    // A display time of 0 keeps the window until it is clicked; a Qt timer
    // with interval 0 would instead fire at once.
    if (m_timer->interval() > 0)
        m_timer->start();
    QFrame::showEvent(event);
}

void TStartScreenFormular::TimerTimer()
{
    m_timer->stop();
    close();
}

void TStartScreenFormular::LabelClick()
{
    m_timer->stop();
    close();
}

void TStartScreenFormular::closeEvent(QCloseEvent* event)
{
    m_timer->stop();
    QFrame::closeEvent(event);
}

// Labels and the picture let presses through, so one handler serves them all.
void TStartScreenFormular::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void TStartScreenFormular::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        LabelClick();
}
