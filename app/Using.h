#pragma once

#include <QString>
#include <QWidget>

#include <memory>

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

public slots:
    void showWindow();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void windowDidLoad();
    void placeBesideParent();

    QString _tipsResource;
    std::unique_ptr<Ui::Using> _ui;
};

} // namespace attractor
