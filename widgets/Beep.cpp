#include "widgets/Beep.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

#include <utility>

namespace attractor {

namespace {
std::function<void()> &beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

// Long enough to read a short sentence, short enough not to linger.
constexpr int kReasonShownMs = 5000;
} // namespace

void beep()
{
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

void setBeepHandler(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}

void refuse(QWidget *source, const QString &reason)
{
    beep();
    // A tool window (the info panel) reports to the window it belongs to.
    QWidget *window = source ? source->window() : nullptr;
    while (window && !qobject_cast<QMainWindow *>(window) && window->parentWidget())
        window = window->parentWidget()->window();
    if (auto *main = qobject_cast<QMainWindow *>(window))
        main->statusBar()->showMessage(reason, kReasonShownMs);
}

} // namespace attractor
