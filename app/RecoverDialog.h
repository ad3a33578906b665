#pragma once

#include "app/Prompts.h"

#include <QDialog>

class QListWidget;

namespace attractor {

// "Recover Documents": the copies left by an instance that ended without
// closing them, each with its name, the time of its last change and its
// picture. Those that can be read start ticked; one that cannot shows why
// and is only removed when the user ticks it and discards.
class RecoverDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPictureSide = 64;

    explicit RecoverDialog(const QList<Prompts::RecoveryItem> &items, QWidget *parent = nullptr);

    QListWidget *list() const { return _list; }
    // The ticked items and the button pressed; Later when the dialog was dismissed.
    Prompts::RecoveryAnswer answer() const;
    Prompts::RecoveryAnswer run();

private:
    QListWidget *_list;
    Prompts::RecoveryAction _action = Prompts::RecoveryAction::Later;
};

} // namespace attractor
