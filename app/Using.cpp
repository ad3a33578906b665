#include "app/Using.h"

#include "model/Log.h"

#include "ui_Using.h"

#include <QCloseEvent>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTextCursor>
#include <QWindow>

#include <algorithm>

// The resources are compiled into a static library: register them before use.
static void initAttractorResources()
{
    Q_INIT_RESOURCE(attractor);
}

namespace attractor {

const QString Using::kShowTipsKey = QStringLiteral("QvShowTipsOnLaunch");
const QString Using::kTipsResource = QStringLiteral(":/Using");

Using::Using(QWidget *parent, QString tipsResource)
    : QWidget(parent, Qt::Window)
    , _tipsResource(std::move(tipsResource))
{
    initAttractorResources();
}

Using::~Using() = default;

QString Using::text() const
{
    return _ui ? _ui->theTextField->toPlainText() : QString();
}

bool Using::showTipsOnLaunch()
{
    return QSettings().value(kShowTipsKey, true).toBool();
}

void Using::showWindow()
{
    if (!_ui) {
        windowDidLoad();
        placeBesideParent();
        // A document window that is not on screen yet has no place of its
        // own: the window manager gives it one when it maps it. Place the
        // tips again once that has happened.
        QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        QWindow *handle = owner ? owner->windowHandle() : nullptr;
        if (handle && !handle->isExposed()) {
            _awaitedOwner = handle;
            handle->installEventFilter(this);
        }
    }
    show();
    raise();
    activateWindow();
}

bool Using::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _awaitedOwner && event->type() == QEvent::Expose && _awaitedOwner->isExposed()) {
        _awaitedOwner->removeEventFilter(this);
        _awaitedOwner = nullptr;
        placeBesideParent();
    }
    return QWidget::eventFilter(watched, event);
}

QPoint Using::besideWindow(const QRect &owner, const QSize &size, const QRect &screen)
{
    constexpr int kGap = 12;
    const int right = owner.right() + 1 + kGap;
    const int left = owner.left() - kGap - size.width();
    const int screenEnd = screen.right() + 1;
    int x;
    if (right + size.width() <= screenEnd)
        x = right;
    else if (left >= screen.left())
        x = left;
    else if (screenEnd - owner.right() >= owner.left() - screen.left())
        x = screenEnd - size.width();
    else
        x = screen.left();
    // Never off the top or left of the screen, where its title bar would be lost.
    x = std::max(x, screen.left());
    const int y = std::max(screen.top(), std::min(owner.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

void Using::placeBesideParent()
{
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->screen())
        return;
    // Before it is shown this window has no frame: assume one like the owner's.
    const QSize frame = size() + (owner->frameGeometry().size() - owner->size());
    move(besideWindow(owner->frameGeometry(), frame, owner->screen()->availableGeometry()));
}

void Using::windowDidLoad()
{
    _ui = std::make_unique<Ui::Using>();
    _ui->setupUi(this);
    QFile tips(_tipsResource);
    if (tips.open(QIODevice::ReadOnly)) {
        // Ahead of anything the window description already holds.
        QTextCursor cursor(_ui->theTextField->document());
        cursor.movePosition(QTextCursor::Start);
        cursor.insertHtml(QString::fromUtf8(tips.readAll()));
        _ui->theTextField->moveCursor(QTextCursor::Start);
    } else {
        logLine(QStringLiteral("Tips text %1 could not be read: %2").arg(_tipsResource, tips.errorString()));
    }
    QSettings().setValue(kShowTipsKey, true);
}

void Using::closeEvent(QCloseEvent *event)
{
    QSettings().setValue(kShowTipsKey, false);
    QWidget::closeEvent(event);
}

} // namespace attractor
