#pragma once

#include "edit/EditableFractal.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;

namespace attractor {

// The floating info panel: the selected maps' numbers and matrix, and fields
// that take exact values. With several maps selected a field shows the value
// they share and stays blank where they differ; a value typed there goes to
// all of them. A typed value applies on Enter, Tab or a click anywhere else,
// as one undo step; a refused one beeps, says why in the window's status bar
// and shows the maps' value again.
class InfoPanel : public QWidget
{
    Q_OBJECT

public:
    struct Fields {
        QLineEdit *translation = nullptr;
        QLineEdit *rotation = nullptr;
        QLineEdit *scale = nullptr;
        QLineEdit *a = nullptr;
        QLineEdit *b = nullptr;
        QLineEdit *c = nullptr;
        QLineEdit *d = nullptr;
        // Editable.
        QLineEdit *tx = nullptr;
        QLineEdit *ty = nullptr;
        QLineEdit *sx = nullptr;
        QLineEdit *sy = nullptr;
        QLineEdit *degrees = nullptr;
        QLineEdit *shear = nullptr;
        QLineEdit *probability = nullptr;
    };

    // A tool window of owner's window.
    explicit InfoPanel(QWidget *owner);
    ~InfoPanel() override;

    void setModel(EditableFractal *model);
    const Fields &fields() const { return _fields; }

    // The value a field shows for a map: in the fields that take values, the
    // shortest text that reads back as the same stored number.
    QString fieldText(const QLineEdit *field, const QvTransform &map) const;
    // The text all selected maps show in the field; empty where they differ.
    QString sharedText(const QLineEdit *field) const;
    // Applies the field's text to the selected maps (see the class comment).
    void applyField(QLineEdit *field);
    // A value typed but not yet applied is applied now.
    void applyPendingEdit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void setPending(QLineEdit *field);

    QPointer<EditableFractal> _model;
    QWidget *_owner;
    Fields _fields;
    // The field typed in since it last showed the map's value.
    QPointer<QLineEdit> _pending;
};

} // namespace attractor
