#include "ComponentInfo.h"
#include "FWInfoScreenForm.h"
#include "FWInfoScreenUnit.h"
#include "FWInternalInfoDialog.h"
#include "FWInternalInfoUnit.h"
#include "FWLinkLabel.h"
#include "FWShadowLabel.h"
#include "FWStartScreenForm.h"
#include "FWStartScreenUnit.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString ProgramKey = u"Software\\Fernwick\\FW-Postrella"_s;

QColor textColor(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

// The start screen as the main window configures it.
void configureLikeTheMainWindow(TFWStartScreenA& screen, const QString& picture)
{
    screen.setCompanyNameLong(u"Fernwick"_s);
    screen.setCompanyNameShort(u"FW"_s);
    screen.setProgramName(u"Postrella"_s);
    screen.setVersionPrg(u"1.00c.0162"_s);
    screen.setYear(u"03.07.2000"_s);
    screen.setBitmap(picture);
    screen.setShowLogo(false);
    screen.setProgramNameFont(TFWFont::pixels(u"Times New Roman"_s, 40, true, true, Qt::red));
    screen.setVersionFont(TFWFont::pixels(u"Arial"_s, 19, true, false, Qt::white));
    screen.setOtherFont(TFWFont::pixels(u"Arial"_s, 11, true, false, Qt::white));
}

// Answers a modal window of the family once its loop runs.
template <typename Window> void whenShown(Window& window, std::function<void(Window&)> action)
{
    QTimer::singleShot(0, &window, [&window, action] {
        action(window);
        // A failed check must not leave the window waiting.
        if (window.isVisible())
            window.reject();
    });
}

class InfoScreenHook
{
public:
    explicit InfoScreenHook(std::function<void(TInfoScreenFormular&)> action)
    {
        TFWInfoScreenA::setDialogHook([this, action](TInfoScreenFormular& window) {
            ++shows;
            whenShown(window, action);
        });
    }
    ~InfoScreenHook() { TFWInfoScreenA::setDialogHook({}); }
    int shows = 0;
};

class InternalInfoHook
{
public:
    explicit InternalInfoHook(std::function<void(TFWInternalInfoDialog&)> action)
    {
        TFWInternalInfo::setDialogHook([this, action](TFWInternalInfoDialog& window) {
            ++shows;
            whenShown(window, action);
        });
    }
    ~InternalInfoHook() { TFWInternalInfo::setDialogHook({}); }
    int shows = 0;
};

QLabel* recordLabel(const TFWInternalInfoDialog& dialog, const QString& text)
{
    for (QLabel* label : dialog.content()->findChildren<QLabel*>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void startScreenShowsTheMainWindowSettings();
    void startScreenSwitches_data();
    void startScreenSwitches();
    void startScreenCloses_data();
    void startScreenCloses();
    void displayTimeZeroWaitsForAClick();
    void startScreenPicture_data();
    void startScreenPicture();
    void infoScreenContent_data();
    void infoScreenContent();
    void internalButtonOpensTheList_data();
    void internalButtonOpensTheList();
    void internalListOrderAndSpacing();
    void internalListWithoutRecords_data();
    void internalListWithoutRecords();
    void componentInfo_data();
    void componentInfo();
};

void TestScreens::startScreenShowsTheMainWindowSettings()
{
    TestEnvironment env;
    TFWStartScreenA screen;
    configureLikeTheMainWindow(screen, env.path(u"bg.jpg"_s));
    screen.ShowStartScreen();
    TStartScreenFormular* form = screen.Form();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->size(), QSize(500, 270));
    QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);

    QCOMPARE(form->LabelCompanyOben()->text(), u"Fernwick "_s);
    QCOMPARE(form->LabelCompany()->text(), u"Fernwick"_s);
    QCOMPARE(form->LabelCompany()->pos(), QPoint(210, 88));
    QCOMPARE(form->LabelProgramName()->text(), u"FW-Postrella"_s);
    QCOMPARE(form->LabelVersion()->text(), u"Version 1.00c.0162"_s);
    QVERIFY(form->LabelCopyright()->isVisible());
    QVERIFY(form->LabelCopyright()->text().endsWith(u"03.07.2000"_s));
    QCOMPARE(form->LabelVersionFor()->text(), QString());
    QVERIFY(!form->LabelFWLogo1()->isVisible());
    QVERIFY(!form->LabelFWLogo2()->isVisible());

    const QFont name = form->LabelProgramName()->font();
    QCOMPARE(name.family(), u"Times New Roman"_s);
    QCOMPARE(name.pixelSize(), 40);
    QVERIFY(name.bold() && name.italic());
    QCOMPARE(textColor(form->LabelProgramName()), QColor(Qt::red));
    QCOMPARE(form->LabelProgramName()->shadowDeep(), quint8(2));
    QCOMPARE(form->LabelVersion()->font().pixelSize(), 19);
    QCOMPARE(form->LabelVersionFor()->font().pixelSize(), 11);
    // The maker's name keeps the component's own fonts and shadows.
    QCOMPARE(form->LabelCompany()->font().pointSize(), 16);
    QCOMPARE(form->LabelCompanyOben()->font().italic(), true);
    QCOMPARE(form->LabelCompanyOben()->shadowDeep(), quint8(1));
}

void TestScreens::startScreenSwitches_data()
{
    QTest::addColumn<bool>("shortName");
    QTest::addColumn<bool>("logo");
    QTest::addColumn<bool>("version");
    QTest::addColumn<bool>("year");
    QTest::addColumn<QString>("programName");
    QTest::newRow("everything on") << true << true << true << true << u"FW-Postrella"_s;
    QTest::newRow("short name off: program name alone") << false << true << true << true << u"Postrella"_s;
    QTest::newRow("version and notice line off") << true << false << false << false << u"FW-Postrella"_s;
}

void TestScreens::startScreenSwitches()
{
    QFETCH(bool, shortName);
    QFETCH(bool, logo);
    QFETCH(bool, version);
    QFETCH(bool, year);
    QFETCH(QString, programName);
    TFWStartScreenA screen;
    screen.setProgramName(u"Postrella"_s);
    screen.setShowCompanyNameShort(shortName);
    screen.setShowLogo(logo);
    screen.setShowVersion(version);
    screen.setShowYear(year);
    screen.ShowStartScreen();
    TStartScreenFormular* form = screen.Form();
    QVERIFY(form);
    QCOMPARE(form->LabelProgramName()->text(), programName);
    QCOMPARE(form->LabelFWLogo1()->isVisible(), logo);
    QCOMPARE(form->LabelFWLogo2()->isVisible(), logo);
    QCOMPARE(form->LabelVersion()->isVisible(), version);
    QCOMPARE(form->LabelCopyright()->isVisible(), year);
    if (logo)
        QCOMPARE(form->LabelFWLogo1()->font().family(), u"Times New Roman"_s);
}

void TestScreens::startScreenCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("display time over") << u"timer"_s;
    QTest::newRow("click on a label") << u"label"_s;
    QTest::newRow("click on the picture") << u"picture"_s;
}

void TestScreens::startScreenCloses()
{
    QFETCH(QString, how);
    TFWStartScreenA screen;
    screen.ShowStartScreen();
    QPointer<TStartScreenFormular> form = screen.Form();
    QVERIFY(form && form->isVisible());
    QVERIFY(form->Timer()->isActive());
    QCOMPARE(form->Timer()->interval(), 5000);

    if (how == u"timer"_s)
        QVERIFY(QMetaObject::invokeMethod(form->Timer(), "timeout"));
    else
        QTest::mouseClick(how == u"label"_s ? static_cast<QWidget*>(form->LabelProgramName()) : form->ImageHinter(),
                          Qt::LeftButton);
    QVERIFY(form.isNull() || !form->isVisible());
    QTRY_VERIFY(form.isNull());
    QVERIFY(!screen.Form());
}

void TestScreens::displayTimeZeroWaitsForAClick()
{
    TFWStartScreenA screen;
    screen.setDisplayTime(0);
    screen.ShowStartScreen();
    QPointer<TStartScreenFormular> form = screen.Form();
    QVERIFY(form);
    QVERIFY(!form->Timer()->isActive());
    QCoreApplication::processEvents();
    QVERIFY(form && form->isVisible());
    QTest::mouseClick(form->LabelVersion(), Qt::LeftButton);
    QTRY_VERIFY(form.isNull());
}

void TestScreens::startScreenPicture_data()
{
    QTest::addColumn<QString>("file");       // relative to the program folder; empty: no Bitmap set
    QTest::addColumn<QByteArray>("content"); // written to the file first when not null
    QTest::addColumn<bool>("picture");
    QTest::newRow("shipped picture") << u"bg.jpg"_s << QByteArray() << true;
    QTest::newRow("no picture set") << QString() << QByteArray() << false;
    QTest::newRow("missing file") << u"gone.jpg"_s << QByteArray() << false;
    QTest::newRow("unreadable file") << u"bg.jpg"_s << "\xff\xd8\xff garbage, not a JPEG"_ba << false;
    QTest::newRow("a folder") << u"temp"_s << QByteArray() << false;
}

void TestScreens::startScreenPicture()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(bool, picture);
    TestEnvironment env;
    if (!content.isNull()) {
        QFile out(env.path(file));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
    }
    TFWStartScreenA screen;
    if (!file.isEmpty())
        screen.setBitmap(env.path(file));
    screen.ShowStartScreen();
    QVERIFY(screen.Form());
    QVERIFY(screen.Form()->isVisible());
    const QPixmap shown = screen.Form()->ImageHinter()->pixmap();
    QCOMPARE(!shown.isNull(), picture);
    if (picture)
        QCOMPARE(shown.size(), QSize(500, 270));
}

void TestScreens::infoScreenContent_data()
{
    QTest::addColumn<bool>("withInternal");
    QTest::addColumn<bool>("shortName");
    QTest::addColumn<bool>("url");
    QTest::addColumn<bool>("mail");
    QTest::addColumn<bool>("version");
    QTest::addColumn<bool>("year");
    QTest::newRow("as the main window sets it") << true << true << true << true << true << true;
    QTest::newRow("no internal component: no Internal button") << false << true << true << true << true << true;
    QTest::newRow("web link off hides its caption too") << true << true << false << true << true << true;
    QTest::newRow("mail link off hides its caption too") << true << true << true << false << true << true;
    QTest::newRow("short name, version and notice off") << true << false << true << true << false << false;
}

void TestScreens::infoScreenContent()
{
    QFETCH(bool, withInternal);
    QFETCH(bool, shortName);
    QFETCH(bool, url);
    QFETCH(bool, mail);
    QFETCH(bool, version);
    QFETCH(bool, year);
    TFWInternalInfo internal;
    TFWInfoScreenA info;
    info.setProgramName(u"Postrella"_s);
    info.setVersionPrg(u"1.00c.0162"_s);
    info.setYear(u"03.07.2000"_s);
    info.setURL(u"https://www.example.org/postrella"_s);
    info.setMail(u"hilfe@example.org"_s);
    info.setProgramNameFont(TFWFont::pixels(u"Times New Roman"_s, 37, true, true, QColor(128, 0, 128)));
    if (withInternal)
        info.setFWInternalInfo(&internal);
    info.setShowCompanyNameShort(shortName);
    info.setShowURL(url);
    info.setShowMail(mail);
    info.setShowVersion(version);
    info.setShowYear(year);

    bool checked = false;
    InfoScreenHook hook([&](TInfoScreenFormular& w) {
        QCOMPARE(w.windowTitle(), u"Infos"_s);
        QCOMPARE(w.size(), QSize(500, 300));
        QCOMPARE(w.ButtonInternal()->isVisible(), withInternal);
        QCOMPARE(w.LabelProgramName()->text(), shortName ? u"FW-Postrella"_s : u"Postrella"_s);
        QCOMPARE(w.LabelProgramName()->font().pixelSize(), 37);
        QCOMPARE(textColor(w.LabelProgramName()), QColor(128, 0, 128));
        QCOMPARE(w.LabelProgramName()->shadowDeep(), quint8(1));
        QCOMPARE(w.LabelVersion()->isVisible(), version);
        if (version)
            QCOMPARE(w.LabelVersion()->text(), u"Version 1.00c.0162"_s);
        QCOMPARE(w.LabelCopyright()->isVisible(), year);
        if (year)
            QVERIFY(w.LabelCopyright()->text().startsWith(u"(c) 03.07.2000"_s));
        QCOMPARE(w.URLLabelWeb()->isVisible(), url);
        QCOMPARE(w.LabelURLBez()->isVisible(), url);
        QCOMPARE(w.URLLabelMail()->isVisible(), mail);
        QCOMPARE(w.LabelMailBez()->isVisible(), mail);
        if (url) {
            QCOMPARE(w.URLLabelWeb()->text(), u"https://www.example.org/postrella"_s);
            QCOMPARE(w.URLLabelWeb()->toolTip(), w.URLLabelWeb()->text());
            QCOMPARE(w.URLLabelWeb()->target(), QUrl(u"https://www.example.org/postrella"_s));
        }
        if (mail) {
            QCOMPARE(w.URLLabelMail()->text(), u"hilfe@example.org"_s);
            QCOMPARE(w.URLLabelMail()->target(), QUrl(u"mailto:hilfe@example.org"_s));
        }
        checked = true;
        w.ButtonOK()->click();
    });
    info.ShowInfoScreen();
    QCOMPARE(hook.shows, 1);
    QVERIFY(checked);
}

void TestScreens::internalButtonOpensTheList_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("heading");
    QTest::newRow("German") << u"D"_s << u"Die folgenden Komponenten wurden in diesem Programm verwendet :"_s;
    QTest::newRow("English") << u"E"_s << u"The following components are included in this application :"_s;
}

void TestScreens::internalButtonOpensTheList()
{
    QFETCH(QString, letter);
    QFETCH(QString, heading);
    TestEnvironment env;
    TFWInternalInfo internal;
    internal.setLanguageCodeLetter(letter);
    internal.WriteComponentInfo(ProgramKey);
    TFWInfoScreenA info;
    info.setFWInternalInfo(&internal);

    QString shownHeading;
    InternalInfoHook internalHook([&](TFWInternalInfoDialog& w) {
        shownHeading = w.Label1()->text();
        QCOMPARE(w.windowTitle(), u"Internal Infos"_s);
        QVERIFY(recordLabel(w, u"TFWInternalInfo"_s));
        w.ButtonOK()->click();
    });
    bool infoStillOpen = false;
    InfoScreenHook infoHook([&](TInfoScreenFormular& w) {
        w.ButtonInternal()->click(); // runs the internal window's own loop
        infoStillOpen = w.isVisible();
        w.ButtonOK()->click();
    });
    info.ShowInfoScreen();
    QCOMPARE(internalHook.shows, 1);
    QCOMPARE(shownHeading, heading);
    QVERIFY(infoStillOpen);
}

void TestScreens::internalListOrderAndSpacing()
{
    TestEnvironment env;
    {
        // Written out of order and in mixed case; values as the family writes them.
        SettingsStore store;
        const QString ci = ProgramKey + u"\\CI\\"_s;
        auto write = [&](const QString& component, const QStringList& values) {
            for (const QString& value : values)
                store.writeString(ci + component, value, component + u'.' + value);
        };
        write(u"TFWProgramLinks"_s, {u"Company"_s, u"Version"_s, u"Last Change"_s});
        write(u"bEta"_s, {u"One"_s, u"Two"_s});
        write(u"Zeta\\Nested"_s, {u"Hidden"_s}); // Zeta itself holds no values
        write(u"TFWLanguage"_s, {u"Company"_s, u"Version"_s, u"Last Change"_s});
        write(u"aaa"_s, {u"Only"_s});
    }
    TFWInternalInfoDialog dialog;
    dialog.AssembleDisplay(ProgramKey + u"\\CI"_s);

    const QStringList order{u"aaa"_s, u"bEta"_s, u"TFWLanguage"_s, u"TFWProgramLinks"_s, u"Zeta"_s};
    // One value takes 16 + 25 pixels, two 3 * 16 + 25, three 5 * 16 + 25; no values only the gap.
    const QList<int> tops{30, 71, 144, 249, 354};
    for (qsizetype i = 0; i < order.size(); ++i) {
        QLabel* name = dialog.content()->findChild<QLabel*>(u"Component:"_s + order.at(i));
        QVERIFY2(name, qPrintable(order.at(i)));
        QCOMPARE(name->geometry(), QRect(5, tops.at(i), 150, 16));
    }
    QVERIFY(!recordLabel(dialog, u"Hidden"_s));

    // Inside one record: the first value name level with the component, each text one line under its name.
    QList<int> nameTops;
    for (QLabel* label : dialog.content()->findChildren<QLabel*>()) {
        if (label->x() != 160 || label->y() < 144 || label->y() >= 249)
            continue;
        nameTops.append(label->y());
        QCOMPARE(textColor(label), QColor(Qt::gray));
        QLabel* text = recordLabel(dialog, u"TFWLanguage."_s + label->text());
        QVERIFY2(text, qPrintable(label->text()));
        QCOMPARE(text->pos(), QPoint(180, label->y() + 16));
        QCOMPARE(textColor(text), QColor(Qt::darkBlue));
    }
    std::sort(nameTops.begin(), nameTops.end());
    QCOMPARE(nameTops, (QList<int>{144, 176, 208}));

    // The list is longer than the box, so it scrolls.
    QCOMPARE(dialog.content()->height(), 354 + 25);
    QVERIFY(dialog.content()->height() > dialog.ScrollBox()->viewport()->height());
}

void TestScreens::internalListWithoutRecords_data()
{
    QTest::addColumn<bool>("written");
    QTest::newRow("no key stored yet") << false;
    QTest::newRow("key stored, records gone") << true;
}

void TestScreens::internalListWithoutRecords()
{
    QFETCH(bool, written);
    TestEnvironment env;
    TFWInternalInfo internal;
    if (written) {
        internal.WriteComponentInfo(ProgramKey);
        SettingsStore().deleteKey(ProgramKey + u"\\CI"_s);
    }
    QStringList labels;
    InternalInfoHook hook([&](TFWInternalInfoDialog& w) {
        for (QLabel* label : w.content()->findChildren<QLabel*>())
            labels.append(label->text());
        w.ButtonOK()->click();
    });
    internal.ShowInternalInfo();
    QCOMPARE(hook.shows, 1);
    labels.sort();
    QCOMPARE(labels, (QStringList{u"Component"_s, u"Information"_s}));
}

void TestScreens::componentInfo_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("lastChange");
    QTest::newRow("start screen") << u"TFWStartScreenA"_s << u"1.02"_s << u"01.02.2000"_s;
    QTest::newRow("internal information") << u"TFWInternalInfo"_s << u"2.0"_s << u"05.02.2000"_s;
}

void TestScreens::componentInfo()
{
    QFETCH(QString, component);
    QFETCH(QString, version);
    QFETCH(QString, lastChange);
    TestEnvironment env;
    TFWStartScreenA start;
    TFWInternalInfo internal;
    QObject* object = component == u"TFWStartScreenA"_s ? static_cast<QObject*>(&start) : &internal;
    object->setProperty("CIVersion", u"9.9"_s); // assignments are ignored
    // A trailing backslash on the key is dropped.
    if (object == &start)
        start.WriteComponentInfo(ProgramKey + u"\\"_s);
    else
        internal.WriteComponentInfo(ProgramKey + u"\\"_s);

    SettingsStore store;
    const QString key = ProgramKey + u"\\CI\\"_s + component;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), version);
    QCOMPARE(store.readString(key, u"Last Change"_s), lastChange);
    QCOMPARE(store.subKeys(ProgramKey + u"\\CI"_s), QStringList{component});
    if (object == &internal)
        QCOMPARE(internal.ComponentInfoKey(), ProgramKey + u"\\CI"_s);
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
