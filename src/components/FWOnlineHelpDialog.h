#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QTextBrowser;
class QToolButton;
class QUrl;

// The help window: a browser for the unpacked pages under a bar with Back,
// Forward, Contents and Close. Never modal. Links that leave the help
// (http, https, mailto, ftp) go to the user's own programs, never inside.
// It deletes itself when closed, after saving its geometry in the settings store.
class TFWOnlineHelpDialog : public QWidget
{
    Q_OBJECT

public:
    explicit TFWOnlineHelpDialog(QWidget* parent = nullptr);

    QTextBrowser* WebBrowser() const { return m_webBrowser; }
    QFrame* WallpaperPanelTop() const { return m_wallpaperPanelTop; }
    QToolButton* SpeedBack() const { return m_speedBack; }
    QToolButton* SpeedForward() const { return m_speedForward; }
    QToolButton* SpeedContents() const { return m_speedContents; }
    QToolButton* SpeedClose() const { return m_speedClose; }
    QLabel* URLLabel1() const { return m_urlLabel1; }

    // Effective key of the help component; the geometry goes to its subkey "HelpWindow".
    const QString& registryKey() const { return m_registryKey; }
    void setRegistryKey(const QString& key) { m_registryKey = key; }
    // Full path of the contents page; empty makes the Contents button do nothing.
    const QString& contentsPath() const { return m_contentsPath; }
    void setContentsPath(const QString& path) { m_contentsPath = path; }
    void setMakerAddress(const QString& address);

    // Shows a page file (full path) in the browser.
    void ShowDocument(const QString& address);

    // Called when the window closes, before it is released.
    std::function<void()> OnFormClose;

    void SpeedBackClick();
    void SpeedForwardClick();
    void SpeedContentsClick();
    void SpeedCloseClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormClose();
    void followLink(const QUrl& url);

    QFrame* m_wallpaperPanelTop = nullptr;
    QTextBrowser* m_webBrowser = nullptr;
    QToolButton* m_speedBack = nullptr;
    QToolButton* m_speedForward = nullptr;
    QToolButton* m_speedContents = nullptr;
    QToolButton* m_speedClose = nullptr;
    QLabel* m_urlLabel1 = nullptr;
    QString m_registryKey;
    QString m_contentsPath;
};
