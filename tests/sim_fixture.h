#pragma once

// A simulated modem on a pseudo-terminal, mapped as a COM port in a
// temporary ports directory, and a watcher that answers the message boxes
// the code under test raises.
#include "file_bytes.h"
#include "tools/modemsim/modem_simulator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// What a command-line program said, and its exit code.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    QString said() const { return QString::number(exitCode) + ' ' + out + err; }  // all of it, for one comparison
};

// The environment a program of this project runs in under test: its ports
// and its history under dataHome, and no display.
inline QProcessEnvironment programEnvironment(const QString &dataHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "TELVARIN_HISTORY"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Waits (a minute at most) for a started program to end; what it said.
inline CliRun finished(QProcess &process)
{
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

struct SimulatedPort {
    QTemporaryDir portsDir;
    std::unique_ptr<modemsim::ModemSimulator> modem;

    explicit SimulatedPort(const modemsim::ModemState &state = modemsim::demoState(), int comPort = 1)
        : modem(std::make_unique<modemsim::ModemSimulator>(state))
    {
        QString error;
        if (!modem->start(&error) || !modem->createLink(portsDir.filePath(QStringLiteral("com%1").arg(comPort)), &error))
            qFatal("modem simulator: %s", qPrintable(error));
    }
    QString directory() const { return portsDir.path(); }
};

// A message box seen while the test ran, and whether the progress window was on screen then.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    bool progressWindowShown;
};

// Polls for application-modal message boxes and closes each with its OK
// button, recording what it showed. Polling is needed because the boxes open
// inside nested event loops at times the test does not know.
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(std::function<bool()> progressShown = {}) : progressShown_(std::move(progressShown))
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box == handled_)
                return;
            handled_ = box;
            boxes.append({box->windowTitle(), box->text(), box->icon(), progressShown_ && progressShown_()});
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->accept(); });
        });
        timer_.start();
    }
    QList<SeenBox> boxes;

private:
    QTimer timer_;
    QPointer<QMessageBox> handled_;
    std::function<bool()> progressShown_;
};

// Answers the modal windows the code under test opens, one answer each, in
// order: a message box by the caption of the button to click (recorded as
// "title: text [default button]"), a file dialog by the path to choose, the
// message editor by the text to put in. A window beyond the answers is
// rejected and recorded as "unexpected".
class Answers : public QObject {
public:
    explicit Answers(QStringList answers) : queue(std::move(answers))
    {
        connect(&timer_, &QTimer::timeout, this, &Answers::answer);
        timer_.start(5);
    }
    QStringList queue, seen;

private:
    void answer()
    {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal || modal == last_)
            return;
        last_ = modal;
        if (queue.isEmpty())
            return seen.append("unexpected"), modal->reject();
        const QString answer = queue.takeFirst();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal))
            return dialog->selectFile(answer), modal->accept();
        if (auto *text = modal->findChild<QPlainTextEdit *>("txtMsg"))
            return text->setPlainText(answer), modal->findChild<QAbstractButton *>("cmdOK")->click();
        auto *box = qobject_cast<QMessageBox *>(modal);
        seen << box->windowTitle() + ": " + box->text() + " [" + box->defaultButton()->text().remove('&') + "]";
        for (QAbstractButton *button : box->buttons())
            if (button->text().remove('&') == answer)
                return button->click();
    }
    QTimer timer_;
    QPointer<QDialog> last_;
};

// The main window's connection state as the operator sees it: the Connect
// button's caption, the lamp's colour, whether the Function frame is usable,
// and whether the port is open.
template <typename Window>
QString connectionState(Window &window)
{
    return QStringList{window.cmdConnect->text().remove(QLatin1Char('&')), window.shpComm->color().name(),
                       window.FrameFunction->isEnabled() ? "functions" : "no functions",
                       window.link().isOpen() ? "open" : "closed"}.join(' ');
}
