// The yardstick for the start of the program: an empty Qt Widgets window of
// the main window's default size, started and timed the same way
// (POSTRELLA_EXIT_WHEN_SHOWN, see bench/coldstart.py).
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>

namespace {

class Window : public QWidget
{
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            QTimer::singleShot(0, this, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("shown %.3f\n", double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6);
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return QWidget::event(e);
    }

private:
    bool m_reported = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Window window;
    window.resize(490, 330);
    window.show();
    return QApplication::exec();
}
