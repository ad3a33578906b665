#pragma once

#include "engine/DensityImage.h"

#include <QDialog>

#include <memory>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace Ui {
class ExportOptions;
}

namespace attractor {

class DensityControls;

// The options sheet of the high-resolution export: size, iteration count,
// rendering (points, or density with its supersampling and look), the
// current view or the standard frame, progress and status. The canvas that
// runs the export drives it. The rendering choice and supersampling are
// remembered between exports and sessions; the look is the document's.
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
    QComboBox *renderingBox() const;
    QSpinBox *supersampleBox() const;
    // The look, which the sheet takes from the document each time it opens.
    DensityControls *densityControls() const;
    QComboBox *frameBox() const;

    // The density options chosen, or none for points.
    std::optional<DensityOptions> densityOptions() const;
    // Keeps the rendering choice for the next sheet.
    void rememberRendering() const;
    // The standard frame rather than the current view; offered only when the
    // two differ.
    bool standardFrameChosen() const;
    void showFrameChoice(bool standard, bool offered);

    // Escape and the window's close button ask for a cancel like the Cancel
    // button: only the canvas may end the sheet, since a drawing may be running.
    void reject() override;

signals:
    void exportRequested();
    void cancelRequested();

private:
    void showDensityFields();

    std::unique_ptr<Ui::ExportOptions> _ui;
};

} // namespace attractor
