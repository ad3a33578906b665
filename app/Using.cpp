#include "app/Using.h"

#include "model/Log.h"

#include "ui_Using.h"

#include <QCloseEvent>
#include <QFile>
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
    if (!_ui)
        windowDidLoad();
    show();
    raise();
    activateWindow();
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
