#include "renderer/ExportOptions.h"

#include "ui_ExportOptions.h"

namespace attractor {

ExportOptions::ExportOptions(QWidget *parent)
    : QDialog(parent)
    , _ui(std::make_unique<Ui::ExportOptions>())
{
    _ui->setupUi(this);
    connect(_ui->exportButton, &QPushButton::clicked, this, &ExportOptions::exportRequested);
    connect(_ui->cancelButton, &QPushButton::clicked, this, &ExportOptions::cancelRequested);
}

ExportOptions::~ExportOptions() = default;

QLineEdit *ExportOptions::widthBox() const { return _ui->widthBox; }
QLineEdit *ExportOptions::heightBox() const { return _ui->heightBox; }
QLineEdit *ExportOptions::itersBox() const { return _ui->itersBox; }
QProgressBar *ExportOptions::progressIndicator() const { return _ui->progressIndicator; }
QLabel *ExportOptions::progressText() const { return _ui->progressText; }
QPushButton *ExportOptions::exportButton() const { return _ui->exportButton; }
QPushButton *ExportOptions::cancelButton() const { return _ui->cancelButton; }

void ExportOptions::reject()
{
    // Once the image is being written, cancelling is no longer offered.
    if (_ui->cancelButton->isEnabled())
        emit cancelRequested();
}

} // namespace attractor
