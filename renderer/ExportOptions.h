#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace Ui {
class ExportOptions;
}

namespace attractor {

// The options sheet of the high-resolution export: size, iteration count,
// progress and status. The canvas that runs the export drives it.
class ExportOptions : public QDialog
{
    Q_OBJECT

public:
    explicit ExportOptions(QWidget *parent = nullptr);
    ~ExportOptions() override;

    QLineEdit *widthBox() const;
    QLineEdit *heightBox() const;
    QLineEdit *itersBox() const;
    QProgressBar *progressIndicator() const;
    QLabel *progressText() const;
    QPushButton *exportButton() const;
    QPushButton *cancelButton() const;

    // Escape and the window's close button ask for a cancel like the Cancel
    // button: only the canvas may end the sheet, since a drawing may be running.
    void reject() override;

signals:
    void exportRequested();
    void cancelRequested();

private:
    std::unique_ptr<Ui::ExportOptions> _ui;
};

} // namespace attractor
