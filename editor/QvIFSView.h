#pragma once

#include "edit/EditableFractal.h"
#include "editor/InfoPanel.h"
#include "engine/PixelMapping.h"
#include "model/QvFrac.h"

#include <QElapsedTimer>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;

namespace attractor {

class ColorWell;
class FloatSlider;
class QvTransform;

// The editor canvas: every map as a glyph to select, move, scale and rotate.
// It observes the document's edit model and changes the fractal only through it.
//
// Several maps may be selected: Shift- or Ctrl-click adds or removes one, a
// drag on empty canvas selects what its rubber band touches (adding with
// Shift or Ctrl). Every edit acts on all selected maps as one undo step; the
// handles belong to the current map (the one last clicked), and what they do
// to it the others undergo about their own centres.
//
// All operations below work in view coordinates with y upward from the
// bottom-left corner, the way the maps' plane is drawn; only the Qt event
// handlers and paintEvent flip y, so tests can call the operations directly.
//
// Keys: arrows nudge the selection by one view unit; Shift+arrows change its
// x or y scale by 0.01; Alt+Left (or Ctrl+Left, Ctrl+Up, Ctrl+B) turns it one
// degree counter-clockwise, Alt+Right (or Ctrl+Right, Ctrl+Down, Ctrl+F) one
// degree clockwise; Alt+Shift+Left and Right (or Ctrl+Shift+) change its
// shear by -0.01 and 0.01; Delete and Backspace delete it; Escape selects nothing.
class QvIFSView : public QWidget
{
    Q_OBJECT

public:
    explicit QvIFSView(QWidget *parent = nullptr);
    ~QvIFSView() override;

    // Outlets; the view works with any that are set and ignores the others.
    // setControls connects each control to its action here (the owner must
    // not connect them again) and sets the sliders' ranges: rotation 0..2π
    // (the slider shows a quarter turn minus the rotation), probability 0..2.
    struct Controls {
        QAbstractButton *newTransformButton = nullptr;
        QAbstractButton *deleteTransformButton = nullptr;
        FloatSlider *rotationSlider = nullptr;
        ColorWell *colorWell = nullptr;
        FloatSlider *probabilitySlider = nullptr;
        QAbstractButton *infoButton = nullptr;
    };
    void setControls(const Controls &controls);

    // The document's model; the view shows and edits its fractal.
    void setModel(EditableFractal *model);
    EditableFractal *model() const { return _model; }
    // A canvas standing alone (tests): shows the fractal through a model of
    // its own, which takes the object as it is.
    void setFractal(FracPtr fractal);
    FracPtr fractal() const;

    // Finishes set-up once the window is built: keyboard focus. Runs by
    // itself on the first show.
    void awakeFromNib();

    // Geometry.
    PixelMapping frame() const;
    QPointF convertToUserCoords(QPointF viewPoint) const;
    QPointF convertFromUserCoords(QPointF userPoint) const;
    QSizeF onePixelInUserCoords() const;

    // Glyphs, in view coordinates, winding fill rule.
    QPainterPath pathFromTransform(const QvTransform &t) const;
    QPainterPath crosshairsFromTransform(const QvTransform &t) const;
    QPainterPath selectionBoxFromTransform(const QvTransform &t) const;
    QPainterPath shearBoxFromTransform(const QvTransform &t) const;
    // The topmost map whose glyph contains the point.
    const QvTransform *transformUnderPoint(QPointF viewPoint) const;

    // The current map.
    int selectionIndex() const;
    const QvTransform *selection() const;
    // Selects the map of the model's fractal at this address (none for another).
    void setSelection(const QvTransform *transform);
    const QvTransform *halfSelection() const;
    bool optionKeyDown() const { return _optionKeyDown; }
    bool scalingSelection() const { return _scalingSelection; }
    bool shearingSelection() const { return _shearingSelection; }
    // The rubber band being dragged, in view coordinates; empty when none.
    QRectF rubberBand() const;

    // Drawing; the painter is in view coordinates (y up).
    void drawRect(QPainter &painter, const QRectF &rect) const;
    void drawGridBoxOnly(QPainter &painter) const;
    void drawAxes(QPainter &painter) const;

    void updateDisplay();

    // Mouse, in view coordinates.
    void mouseEntered();
    void mouseExited();
    void flagsChanged(Qt::KeyboardModifiers modifiers);
    void mouseMoved(QPointF viewPoint);
    void mouseDown(QPointF viewPoint, Qt::KeyboardModifiers modifiers = {});
    void mouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers, bool rightButton = false);
    void mouseUp(int clickCount);
    void rightMouseDown(QPointF viewPoint, Qt::KeyboardModifiers modifiers = {});
    void rightMouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers);
    void rightMouseUp(Qt::KeyboardModifiers modifiers, int clickCount);

    // Keyboard commands.
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void moveWordLeft();
    void moveWordRight();
    void moveBackward() { moveWordLeft(); }
    void moveForward() { moveWordRight(); }
    void moveToBeginningOfParagraph() { moveWordLeft(); }
    void moveToEndOfParagraph() { moveWordRight(); }
    void moveLeftAndModifySelection();
    void moveRightAndModifySelection();
    void moveDownAndModifySelection();
    void moveUpAndModifySelection();
    void shearLeft();
    void shearRight();
    void deleteBackward() { deleteTransform(); }
    void deleteForward() { deleteTransform(); }
    void moveSelectionXBy(float dx);
    void moveSelectionYBy(float dy);

    void exportToText();
    // End of the export dialog: writes the report to path when returnCode is
    // 1 and the context is the text export's own. True when a file was written.
    bool exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo);

    using InfoFields = InfoPanel::Fields;
    InfoPanel *infoPanel() const { return _infoPanel; }
    const InfoFields &infoFields() const { return _infoPanel->fields(); }

signals:
    // One change of the fractal, through this canvas or any other way.
    void changeMade();

public slots:
    void newTransform();
    void deleteTransform();
    void changeRotation();
    void changeColor();
    void changeProbability();
    void showInfo();
    void cut();
    void copy();
    void paste();
    void duplicate();
    void selectAll();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    static constexpr double kFullTurn = 6.28318530718;
    static constexpr double kQuarterTurn = 1.570796326795;
    // New Map stops adding here; documents may hold any number.
    static constexpr int kMaxTransformsForNew = 10;

    void modelChanged();
    void mapRemoved(int index);
    void mapInserted(int index);
    using MapValues = QList<EditableFractal::MapValue>;
    // Every selected map with `change` applied to a copy of it.
    MapValues changedSelection(const std::function<void(QvTransform &)> &change) const;
    QList<QvTransform> selectedMaps() const;
    void commitMapEdit(MapEdit kind, const MapValues &values);
    // Repeated keys on the same maps are one step until another edit or a pause.
    void commitKeyEdit(MapEdit kind, const MapValues &values);
    // The current map's new value from a handle, the others changed alike.
    void commitHandleEdit(MapEdit kind, const QvTransform &next);
    // Remembers the selected maps as the gesture found them.
    void grabSelection();
    void selectInBand();
    // False, with a beep saying why, when deleting the selection is refused.
    bool canRemoveSelection();
    bool copySelection();
    void addMapCopies(const QList<QvTransform> &values, const QString &name);
    void moveSelectionBy(double dx, double dy);
    void rotateSelectionBy(double step);
    void changeSelectionScaleBy(double dx, double dy);
    void shearSelectionBy(double step);
    void showControls();
    bool hasArea() const { return width() > 0 && height() > 0; }
    // Qt widget position to view coordinates.
    QPointF viewPointFromEvent(const QMouseEvent *event) const;
    bool interpretKeyEvent(const QKeyEvent *event);
    // Ends the mouse gesture in progress as its button's release would.
    void endGesture(Qt::KeyboardModifiers modifiers, int clickCount = 0);

    Controls _controls;
    QPointer<EditableFractal> _model;
    std::unique_ptr<EditableFractal> _ownModel;
    InfoPanel *_infoPanel = nullptr;

    // The map under the pointer, by place; -1 for none.
    int _hover = -1;
    QPointF _mouseMovedPoint;
    QPointF _mouseDownPoint;
    QPointF _offset;
    QPointF _mouseDraggedPoint;
    bool _scalingSelection = false;
    bool _shearingSelection = false;
    bool _movingSelection = false;
    // The selected maps at the press, by place.
    QList<int> _grabbedIndices;
    QList<QvTransform> _grabbedMaps;
    // A press on a map of a larger selection: without a drag, the release selects only it.
    int _onlyOnRelease = -1;
    bool _banding = false;
    QPointF _bandFrom, _bandTo;
    EditableFractal::Selection _bandBase;
    bool _optionKeyDown = false;
    bool _mouseExited = false;

    // Qt event bookkeeping: which button started the gesture and whether the
    // press in progress is the second of a double click.
    Qt::MouseButton _gestureButton = Qt::NoButton;
    int _clickCount = 0;
    bool _awoken = false;

    int _keyGesture = -1;
    MapEdit _lastKeyKind = MapEdit::Move;
    QElapsedTimer _keyTimer;
};

} // namespace attractor
