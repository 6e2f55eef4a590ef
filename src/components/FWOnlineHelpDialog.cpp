#include "FWOnlineHelpDialog.h"

#include "SettingsStore.h"
#include "WindowAccessibility.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPanelHeight = 60;
constexpr int kCloseFromRight = 95; // the Close button keeps its distance to the right edge

QFont pixelFont(const QString& family, int pixels)
{
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

QToolButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QStyle::StandardPixmap icon,
                        int left)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setAccessibleName(caption);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setGeometry(left, 5, 80, 50);
    return button;
}

bool leavesTheHelp(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"http"_s || scheme == u"https"_s || scheme == u"mailto"_s || scheme == u"ftp"_s;
}

} // namespace

TFWOnlineHelpDialog::TFWOnlineHelpDialog(QWidget* parent) : QWidget(parent, Qt::Window)
{
    WindowAccessibility::install();
    setObjectName(u"FWOnlineHelpDialog"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Online-Hilfe"_s);
    setFont(pixelFont(u"Arial"_s, 13));
    resize(750, 500);

    m_wallpaperPanelTop = new QFrame(this);
    m_wallpaperPanelTop->setObjectName(u"WallpaperPanelTop"_s);
    m_wallpaperPanelTop->setAccessibleName(u"Navigation"_s);
    m_wallpaperPanelTop->setFixedHeight(kPanelHeight);
    m_wallpaperPanelTop->setFrameShape(QFrame::StyledPanel);
    m_wallpaperPanelTop->setAutoFillBackground(true);

    m_speedBack = makeButton(m_wallpaperPanelTop, u"SpeedBack"_s, u"Back"_s, QStyle::SP_ArrowBack, 5);
    m_speedForward = makeButton(m_wallpaperPanelTop, u"SpeedForward"_s, u"Forward"_s, QStyle::SP_ArrowForward, 90);
    m_speedContents = makeButton(m_wallpaperPanelTop, u"SpeedContents"_s, u"Contents"_s, QStyle::SP_DirHomeIcon, 200);
    m_speedClose = makeButton(m_wallpaperPanelTop, u"SpeedClose"_s, u"Close"_s, QStyle::SP_DialogCloseButton,
                              750 - kCloseFromRight);

    m_urlLabel1 = new QLabel(m_wallpaperPanelTop);
    m_urlLabel1->setObjectName(u"URLLabel1"_s);
    m_urlLabel1->setFont(pixelFont(u"Arial"_s, 11));
    m_urlLabel1->setTextFormat(Qt::RichText);
    m_urlLabel1->setOpenExternalLinks(true);
    m_urlLabel1->move(408, 40);

    m_webBrowser = new QTextBrowser(this);
    m_webBrowser->setObjectName(u"WebBrowser"_s);
    m_webBrowser->setAccessibleName(u"Help page"_s);
    // Every link goes through followLink, so nothing outside the help is loaded inside.
    m_webBrowser->setOpenLinks(false);
    m_webBrowser->setOpenExternalLinks(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_wallpaperPanelTop);
    layout->addWidget(m_webBrowser);

    connect(m_webBrowser, &QTextBrowser::anchorClicked, this, &TFWOnlineHelpDialog::followLink);
    connect(m_speedBack, &QToolButton::clicked, this, &TFWOnlineHelpDialog::SpeedBackClick);
    connect(m_speedForward, &QToolButton::clicked, this, &TFWOnlineHelpDialog::SpeedForwardClick);
    connect(m_speedContents, &QToolButton::clicked, this, &TFWOnlineHelpDialog::SpeedContentsClick);
    connect(m_speedClose, &QToolButton::clicked, this, &TFWOnlineHelpDialog::SpeedCloseClick);
}

void TFWOnlineHelpDialog::setMakerAddress(const QString& address)
{
    const QString shown = address.toHtmlEscaped();
    m_urlLabel1->setText(u"<a href=\""_s + shown + u"\" style=\"color: grey;\">"_s + shown + u"</a>"_s);
    m_urlLabel1->setToolTip(address);
    m_urlLabel1->setAccessibleName(address);
    m_urlLabel1->adjustSize();
}

void TFWOnlineHelpDialog::ShowDocument(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (url.isLocalFile())
        m_webBrowser->setSource(url);
    else
        followLink(url);
}

void TFWOnlineHelpDialog::followLink(const QUrl& url)
{
    if (leavesTheHelp(url))
        QDesktopServices::openUrl(url);
    else if (url.isLocalFile())
        m_webBrowser->setSource(url);
    // Anything else (script schemes and the like) is not followed.
}

void TFWOnlineHelpDialog::SpeedBackClick()
{
    // Nothing to go back to is no error worth a word.
    if (m_webBrowser->isBackwardAvailable())
        m_webBrowser->backward();
}

void TFWOnlineHelpDialog::SpeedForwardClick()
{
    if (m_webBrowser->isForwardAvailable())
        m_webBrowser->forward();
}

void TFWOnlineHelpDialog::SpeedContentsClick()
{
    if (!m_contentsPath.isEmpty())
        ShowDocument(m_contentsPath);
}

void TFWOnlineHelpDialog::SpeedCloseClick()
{
    close();
}

void TFWOnlineHelpDialog::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TFWOnlineHelpDialog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_speedClose->move(width() - kCloseFromRight, m_speedClose->y());
}

void TFWOnlineHelpDialog::FormClose()
{
    if (!m_registryKey.isEmpty()) {
        // A maximised window keeps the last normal geometry stored.
        const QString key = m_registryKey + u"\\HelpWindow"_s;
        SettingsStore store;
        const bool maximised = isMaximized();
        store.writeString(key, u"Status"_s, maximised ? u"1"_s : u"0"_s);
        if (!maximised) {
            store.writeString(key, u"X"_s, QString::number(x()));
            store.writeString(key, u"Y"_s, QString::number(y()));
            store.writeString(key, u"Height"_s, QString::number(height()));
            store.writeString(key, u"Width"_s, QString::number(width()));
        }
        store.sync();
    }
    if (OnFormClose)
        OnFormClose();
}
