#include "dialogs/progress_window.h"

#include "ui/controls.h"
#include "ui/fonts.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

frmProgress::frmProgress(QWidget *owner)
    // A tool window of the main window: no title bar, kept above its owner,
    // and destroyed with it should the program end during a transfer.
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName("frmProgress");
    setAttribute(Qt::WA_DeleteOnClose, false);
    keepLeftToRight(this);

    // The client area sits 8 pixels inside a thin frame on every side.
    auto *frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    const int border = twipsToPixels(120);
    const QSize client(twipsToPixels(7290), twipsToPixels(1155));
    setFixedSize(client.width() + 2 * border, client.height() + 2 * border);
    frame->setGeometry(rect());

    lblMsg = new QLabel("Label1", this);
    lblMsg->setObjectName("lblMsg");
    lblMsg->setFont(arialFont(14.25, true));
    lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblMsg->setGeometry(twipsRect(600, 120, 6255, 375).translated(border, border));

    pbar = new QProgressBar(this);
    pbar->setObjectName("pbar");
    pbar->setRange(0, 100);
    pbar->setValue(0);
    pbar->setTextVisible(false);
    pbar->setAccessibleName(tr("Progress"));
    pbar->setGeometry(twipsRect(600, 600, 6375, 375).translated(border, border));

    if (owner)
        move(owner->geometry().center() - rect().center());
}

void frmProgress::setMessage(const QString &text) { lblMsg->setText(text); }

void frmProgress::setValue(int value) { pbar->setValue(value); }

void frmProgress::closeEvent(QCloseEvent *event) { event->ignore(); }
