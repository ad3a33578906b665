#include "app/RecoverDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace attractor {

RecoverDialog::RecoverDialog(const QList<Prompts::RecoveryItem> &items, QWidget *parent)
    : QDialog(parent)
    , _list(new QListWidget(this))
{
    setWindowTitle(tr("Recover Documents"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Attractor ended without saving these documents. Recover the ticked ones "
                                "to go on where you left off, discard them, or decide later."),
                             this);
    label->setWordWrap(true);
    layout->addWidget(label);
    _list->setIconSize(QSize(kPictureSide, kPictureSide));
    _list->setMinimumWidth(420);
    for (const Prompts::RecoveryItem &item : items) {
        const QString when = QLocale().toString(item.changed.toLocalTime(), QLocale::ShortFormat);
        QString text = tr("%1\nchanged %2").arg(item.name, when);
        if (!item.error.isEmpty())
            text += QLatin1Char('\n') + tr("Cannot be recovered: %1").arg(item.error);
        QPixmap picture = item.picture.isNull() ? QPixmap(kPictureSide, kPictureSide)
                                                : QPixmap::fromImage(item.picture);
        if (item.picture.isNull())
            picture.fill(palette().color(QPalette::Disabled, QPalette::Button));
        auto *row = new QListWidgetItem(QIcon(picture), text, _list);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setCheckState(item.error.isEmpty() ? Qt::Checked : Qt::Unchecked);
        if (!item.error.isEmpty())
            row->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    }
    layout->addWidget(_list);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *recover = buttons->addButton(tr("Recover"), QDialogButtonBox::AcceptRole);
    QPushButton *discard = buttons->addButton(tr("Discard"), QDialogButtonBox::DestructiveRole);
    QPushButton *later = buttons->addButton(tr("Later"), QDialogButtonBox::RejectRole);
    recover->setDefault(true);
    connect(recover, &QPushButton::clicked, this, [this] { _action = Prompts::RecoveryAction::Recover, accept(); });
    connect(discard, &QPushButton::clicked, this, [this] { _action = Prompts::RecoveryAction::Discard, accept(); });
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { _action = Prompts::RecoveryAction::Later; });
    layout->addWidget(buttons);
}

Prompts::RecoveryAnswer RecoverDialog::answer() const
{
    Prompts::RecoveryAnswer answer{_action, {}};
    for (int row = 0; row < _list->count(); ++row) {
        if (_list->item(row)->checkState() == Qt::Checked)
            answer.chosen << row;
    }
    return answer;
}

Prompts::RecoveryAnswer RecoverDialog::run()
{
    exec();
    return answer();
}

} // namespace attractor
