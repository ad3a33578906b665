#include "app/Using.h"

#include "model/Log.h"

#include "ui_Using.h"

#include <QCloseEvent>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTextCursor>

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
    }
    show();
    raise();
    activateWindow();
}

void Using::placeBesideParent()
{
    // Beside the document window where it fits, so it hides none of it.
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->screen())
        return;
    const QRect screen = owner->screen()->availableGeometry();
    const QRect frame = owner->frameGeometry();
    const QPoint right(frame.right() + 12, frame.top());
    if (right.x() + width() <= screen.right())
        move(right);
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
