#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>

class QWindow;

namespace Ui {
class Using;
}

namespace attractor {

// The tips window. Built the first time it is shown; records in the
// settings whether a tips window was last left open.
class Using : public QWidget
{
    Q_OBJECT

public:
    static const QString kShowTipsKey;
    static const QString kTipsResource;

    explicit Using(QWidget *parent = nullptr, QString tipsResource = kTipsResource);
    ~Using() override;

    bool isLoaded() const { return _ui != nullptr; }
    // The tips text as shown; empty before loading or without the resource.
    QString text() const;

    // Whether the settings ask for tips at start-up (yes until a tips window was closed).
    static bool showTipsOnLaunch();

    // Where a window of size goes beside owner (both frames) on screen: to
    // the right or else the left where it fits; otherwise on the side with
    // more room, kept whole on the screen so that it covers the least.
    static QPoint besideWindow(const QRect &owner, const QSize &size, const QRect &screen);

public slots:
    void showWindow();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void windowDidLoad();
    void placeBesideParent();

    QString _tipsResource;
    std::unique_ptr<Ui::Using> _ui;
    // The document window the placement waits for, until it is on screen.
    QWindow *_awaitedOwner = nullptr;
};

} // namespace attractor
