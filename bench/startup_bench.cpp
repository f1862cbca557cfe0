// How long the main window takes to appear, against a plain Qt form with
// the same controls (the fair floor: an empty window draws no text and never
// loads fonts): each round starts this program twice as a child, once per
// kind, and times it from the start of the process until its window is
// first exposed (mapped and ready to paint), which the child reports on
// standard output. Usage:
//   telvarin-startup-bench [ROUNDS]        (run under a display, e.g. xvfb-run)
#include "app/application_icon.h"
#include "app/main_window.h"
#include "ui/fonts.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <tuple>
#include <vector>

namespace {

QElapsedTimer sinceMain;

// Ends the child the moment its window is exposed, saying how long its own
// part took (from main(), without loading the program and its libraries)
// and the processor time all its threads used since the process started:
// unlike the times on the clock, that hardly depends on what else the
// machine is doing.
class ExposeWatch : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            timespec cpu{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            std::printf("exposed %.3f %.3f\n", sinceMain.nsecsElapsed() / 1e6, cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6);
            std::fflush(stdout);
            std::exit(0);
        }
        return false;
    }
};

// A plain Qt form with the main window's controls: the same kinds and
// number, texts, fonts, picture and places, built the obvious way.
std::unique_ptr<QWidget> plainForm()
{
    auto form = std::make_unique<QWidget>();
    form->setWindowTitle("Telvarin");
    form->setFont(QFont("Liberation Sans", 8));
    form->setFixedSize(twipsToPixels(15255), twipsToPixels(6555));
    const auto add = [](auto *widget, int l, int t, int w, int h) {
        widget->setGeometry(twipsRect(l, t, w, h));
        return widget;
    };
    auto *frame1 = add(new QGroupBox("Communication", form.get()), 120, 120, 2055, 1575);
    add(new QLabel("Port No.", frame1), 480, 240, 855, 255);
    auto *ports = add(new QComboBox(frame1), 240, 600, 1455, 315);
    add(new QPushButton("Connect", frame1), 240, 1080, 1215, 315);
    add(new QFrame(frame1), 1680, 1080, 255, 255)->setFrameStyle(QFrame::Box);
    auto *slaveIds = add(new QComboBox(add(new QGroupBox("Slave ID", form.get()), 120, 1800, 2055, 855)), 240, 360, 1455, 315);
    for (int n = 1; n <= 255; ++n)
        ports->addItem(QStringLiteral("COM %1").arg(n));
    for (int n = 1; n <= 32; ++n)
        slaveIds->addItem(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')));
    auto *functions = add(new QGroupBox("Function", form.get()), 120, 2760, 2055, 1215);
    add(new QPushButton("Read from Device", functions), 240, 240, 1575, 375);
    add(new QPushButton("Write to Device", functions), 240, 720, 1575, 375);
    functions->setEnabled(false);
    auto *files = add(new QGroupBox("File", form.get()), 120, 4080, 2055, 1455);
    add(new QPushButton("Load from File", files), 240, 240, 1575, 495);
    add(new QPushButton("Save to File", files), 240, 840, 1575, 495);
    add(new QPushButton("Exit", form.get()), 240, 5760, 1815, 495);
    auto *table = add(new QGroupBox("Configuration", form.get()), 2400, 120, 12735, 6255);
    auto *numbers = add(new QGroupBox("Phone Numbers", table), 6720, 240, 5775, 3375);
    for (int i = 0; i < 16; ++i) {
        const int top = 360 + 360 * i;
        add(new QCheckBox(QStringLiteral("Channel %1").arg(i + 1), table), 240, top, 1215, 255);
        auto *message = add(new QLabel(table), 1560, top, 3855, 255);
        QPalette colours = message->palette();
        colours.setColor(QPalette::Window, QColor(0, 0, 128));
        colours.setColor(QPalette::WindowText, Qt::white);
        message->setPalette(colours);
        message->setAutoFillBackground(true);
        add(new QPushButton("Edit Msg.", table), 5640, top, 855, 255);
        const int column = i < 8 ? 0 : 2880;
        add(new QLineEdit(numbers), 240 + column, 360 + 360 * (i % 8), 1455, 285)->setEnabled(false);
        add(new QPushButton("Edit No.", numbers), 1800 + column, 360 + 360 * (i % 8), 855, 255);
    }
    auto *picture = add(new QLabel(table), 6720, 4200, 2865, 1050);
    picture->setPixmap(QPixmap(":/assets/picture.png"));
    picture->setScaledContents(true);
    add(new QLabel("Designed & Developed by:", table), 6840, 5280, 2655, 255);
    for (const auto &[text, top, size] : {std::tuple("Brackwell", 5520, 9.75), std::tuple("www.brackwell.example", 5760, 8.25)}) {
        auto *label = add(new QLabel(text, table), 6840, top, 2655, 255);
        label->setFont(QFont("Liberation Sans", size, QFont::Bold));
        label->setAlignment(Qt::AlignCenter);
    }
    return form;
}

int showWindow(int argc, char **argv, bool telvarin)
{
    // The same steps as the program's own start.
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (telvarin) {
        QApplication::setWindowIcon(applicationIcon(kFirstIconSize));
        installFontSubstitutes();
        window = std::make_unique<frmMain>();
    } else {
        window = plainForm();
    }
    window->winId();  // creates the native window, to watch it
    ExposeWatch watch;
    window->windowHandle()->installEventFilter(&watch);
    window->show();
    return app.exec();
}

struct Timing {
    double total = -1;   // from starting the process
    double inMain = -1;  // from entering main()
    double processor = -1;
};

// Milliseconds from starting the child until it reports its window exposed.
Timing timeChild(const QString &program, const QString &kind)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(program, {kind});
    if (!child.waitForReadyRead(30000))
        return {};
    const double total = clock.nsecsElapsed() / 1e6;
    child.waitForFinished(10000);
    const QByteArray said = child.readAllStandardOutput();
    const QList<QByteArray> fields = said.trimmed().split(' ');
    if (fields.size() != 3 || fields[0] != "exposed")
        return {};
    return {total, fields[1].toDouble(), fields[2].toDouble()};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    sinceMain.start();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--form") || mode == QLatin1String("--telvarin"))
        return showWindow(argc, argv, mode == QLatin1String("--telvarin"));

    QCoreApplication app(argc, argv);
    const int rounds = std::max(1, mode.toInt() > 0 ? mode.toInt() : 15);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> form, telvarin, formInMain, telvarinInMain, formProcessor, telvarinProcessor, ratios;
    timeChild(self, "--telvarin");  // warms the file cache; not counted
    for (int round = 0; round < rounds; ++round) {
        // Side by side: the order alternates so neither kind always runs on a warmer machine.
        const bool formFirst = round % 2 == 0;
        for (const bool first : {true, false}) {
            const bool isForm = first == formFirst;
            const Timing timing = timeChild(self, isForm ? "--form" : "--telvarin");
            if (timing.total < 0) {
                std::fputs("telvarin-startup-bench: a window did not appear (is there a display?)\n", stderr);
                return 1;
            }
            (isForm ? form : telvarin).push_back(timing.total);
            (isForm ? formInMain : telvarinInMain).push_back(timing.inMain);
            (isForm ? formProcessor : telvarinProcessor).push_back(timing.processor);
        }
        ratios.push_back(telvarin.back() / form.back());
    }
    for (const auto &[what, e, t] : {std::tuple("process start", median(form), median(telvarin)),
                                     std::tuple("main()", median(formInMain), median(telvarinInMain)),
                                     std::tuple("processor", median(formProcessor), median(telvarinProcessor))})
        std::printf("%-13s until exposed, median of %d: plain form %6.1f ms, main window %6.1f ms, ratio %.2f\n",
                    what, rounds, e, t, t / e);
    // Each round's own ratio (from process start) drifts less with the machine's load.
    std::printf("median of the rounds' own ratios from process start: %.2f\n", median(ratios));
    return 0;
}
