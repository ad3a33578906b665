#pragma once

#include <QEvent>
#include <QObject>

// Counts paint events of the widgets it watches, so a test can tell a
// repaint from none.
class PaintCounter : public QObject
{
public:
    PaintCounter() = default;
    explicit PaintCounter(QObject *watched) { watched->installEventFilter(this); }

    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
