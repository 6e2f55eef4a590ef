#include "ProgramWindows.h"
#include "SingleInstance.h"
#include "StartWarmUp.h"
#include "TerminationSignal.h"
#include "WidgetSetup.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// For timing the start from outside (bench/coldstart.py): with
// POSTRELLA_EXIT_WHEN_SHOWN set, the program prints the monotonic clock in
// milliseconds once the main window has been painted, and ends without
// touching any settings.
class ShownReporter : public QObject
{
public:
    ShownReporter(SingleInstance& instance, QObject* parent) : QObject(parent), m_instance(instance) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            QTimer::singleShot(0, this, [this] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("shown %.3f\n", double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6);
                std::fflush(stdout);
                // The next start finds no lock left behind, as after an
                // ordinary end, and is timed as one.
                m_instance.release();
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    SingleInstance& m_instance;
    bool m_reported = false;
};

} // namespace

int main(int argc, char* argv[])
{
    // Named before the application object exists, for everything that
    // runs beside its set-up.
    QApplication::setApplicationName(u"Postrella"_s);
    QApplication::setOrganizationName(u"Fernwick"_s);
    // Only one copy runs. The lock's file is written and synced to disk,
    // which can take a millisecond or two: taken on the warm-up thread while
    // the toolkit connects to the display, the start does not wait for it.
    SingleInstance instance;
    bool alone = false;
    StartWarmUp warmUp([&instance, &alone] { alone = instance.acquire(); });
    QApplication app(argc, argv);
    warmUp.wait();
    if (!alone) {
        SingleInstance::tell();
        return 0;
    }
    // The program's own font and the desktop's, which an empty line edit
    // lays its text out in before it takes on the window's font, and the
    // image plug-ins that the window icon's file makes the toolkit load.
    // Joined before the application object goes.
    const QString icon = u":/icons/postrella-48.png"_s;
    warmUp.prepare({timesFont(11), QFont()}, icon);
    QApplication::setApplicationDisplayName(u"Postrella"_s);
    // Every window without an icon of its own (all of them) shows this one;
    // the desktop entry finds the same picture in the icon theme, in the
    // large sizes a launcher or task switcher wants. The window carries only
    // the small one: decoding the 256 px picture and handing it to the
    // window system made the start noticeably slower.
    QApplication::setDesktopFileName(u"postrella"_s);
    QApplication::setWindowIcon(QIcon(icon));

    // Only the main window is built before it is shown; the others follow
    // once its first frame is on the screen.
    ProgramWindows windows(ProgramWindows::Others::AfterFirstFrame);
    warmUp.wait();
    TStammForm& StammForm = windows.StammForm;

    // Closing the main window ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&StammForm, &TStammForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Log-out and shut-down end the program as Beenden does, so the deletions
    // marked on the server become final with QUIT.
    TerminationSignal termination;
    QObject::connect(&termination, &TerminationSignal::received, &StammForm, [&StammForm] { StammForm.endProgram(); });
    if (qEnvironmentVariableIsSet("POSTRELLA_EXIT_WHEN_SHOWN"))
        StammForm.installEventFilter(new ShownReporter(instance, &StammForm));
    StammForm.show();
    return QApplication::exec();
}
