#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace attractor {

class DensityControls;
class EditableFractal;
class MyOpenGLView;

// The renderer canvas's density panel: the document's look (the export
// sheet starts from the same one), whether the canvas shows the density
// picture, and how far it refines while the window is idle. Changing the
// look is an edit of the document.
class DensityPanel : public QDialog
{
    Q_OBJECT

public:
    DensityPanel(MyOpenGLView *canvas, EditableFractal *model, QWidget *parent = nullptr);

    DensityControls *controls() const { return _controls; }
    QCheckBox *previewBox() const { return _preview; }
    // Millions of iterations the preview refines up to; 0 is off.
    QSpinBox *refineBox() const { return _refine; }

private:
    void showModel();
    void showIterations();

    QPointer<MyOpenGLView> _canvas;
    QPointer<EditableFractal> _model;
    DensityControls *_controls;
    QCheckBox *_preview;
    QSpinBox *_refine;
    QLabel *_shown;
};

} // namespace attractor
