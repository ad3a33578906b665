#pragma once

#include <QEvent>
#include <QObject>

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    PaintCounter() = default;
    explicit PaintCounter(QObject *watched) { watched->installEventFilter(this); }

    int count = 0;
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};
