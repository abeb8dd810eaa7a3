// The floor for start-up: a bare Qt Widgets window of the column's size, which reports its
// first frame the way lorvane-timed does. With --text it also shows the least text a first
// frame of Lorvane shows, a title and an input line with its placeholder, so that the cost
// of fonts, shaping and a QLineEdit is on both sides.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace {

class FirstExpose : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_reported) {
            m_reported = true;
            // The expose is painted and flushed right after the filter returns.
            QTimer::singleShot(0, [] {
                timespec now = {};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::fprintf(stderr, "lorvane-time first-frame %lld\n",
                             static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stderr);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_reported = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(320, 760);
    if (app.arguments().contains(QStringLiteral("--text"))) {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(new QLabel(QStringLiteral("Tareas")));
        layout->addStretch();
        auto *input = new QLineEdit;
        input->setPlaceholderText(QStringLiteral("Añadir tarea"));
        layout->addWidget(input);
    }
    window.show();
    FirstExpose filter;
    window.windowHandle()->installEventFilter(&filter);
    return app.exec();
}
