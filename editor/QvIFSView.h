#pragma once

#include "model/QvFrac.h"

#include <QPainterPath>
#include <QElapsedTimer>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QTransform>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QLineEdit;
class QUndoCommand;
class QUndoStack;

namespace attractor {

class ColorWell;
class FloatSlider;
class MyOpenGLView;
class QvTransform;

// The editor canvas: every map as a glyph to select, move, scale and rotate.
//
// All operations below work in view coordinates with y upward from the
// bottom-left corner, the way the maps' plane is drawn; only the Qt event
// handlers and paintEvent flip y, so tests can call the operations directly.
//
// Keys: arrows nudge the selection by one view unit; Shift+arrows change its
// x or y scale by 0.01; Alt+Left (or Ctrl+Left, Ctrl+Up, Ctrl+B) turns it one
// degree counter-clockwise, Alt+Right (or Ctrl+Right, Ctrl+Down, Ctrl+F) one
// degree clockwise; Delete and Backspace delete it.
class QvIFSView : public QWidget
{
    Q_OBJECT

public:
    explicit QvIFSView(QWidget *parent = nullptr);
    ~QvIFSView() override;

    // Outlets; the view works with any that are set and ignores the others.
    // setControls connects each control to its action here (the owner must
    // not connect them again) and sets the sliders' ranges: rotation 0..2π
    // (the slider shows a quarter turn minus the rotation), probability
    // -2..0 (the slider carries the negated probability).
    struct Controls {
        QAbstractButton *newTransformButton = nullptr;
        QAbstractButton *deleteTransformButton = nullptr;
        FloatSlider *rotationSlider = nullptr;
        ColorWell *colorWell = nullptr;
        FloatSlider *probabilitySlider = nullptr;
        QAbstractButton *infoButton = nullptr;
    };
    void setControls(const Controls &controls);
    void setFractalView(MyOpenGLView *view);

    FracPtr fractal() const { return _fractal; }
    void setFractal(FracPtr fractal);

    // Finishes set-up once the window is built: the default fractal if none
    // was given, keyboard focus. Runs by itself on the first show.
    void awakeFromNib();

    // Geometry.
    QPointF convertToUserCoords(QPointF viewPoint) const;
    QPointF convertFromUserCoords(QPointF userPoint) const;
    QSizeF onePixelInUserCoords() const;
    // Turns view points by minus the map's rotation about its translation;
    // none for no map.
    static std::optional<QTransform> affineTransformFromQvTransform(const QvTransform *t);
    static void rotateBezierPath(QPainterPath &path, QPointF center, float radians);

    // Glyphs, in view coordinates, winding fill rule.
    QPainterPath pathFromTransform(const QvTransform &t) const;
    QPainterPath crosshairsFromTransform(const QvTransform &t) const;
    QPainterPath selectionBoxFromTransform(const QvTransform &t) const;
    // The topmost map whose glyph contains the point.
    QvTransform *transformUnderPoint(QPointF viewPoint) const;

    // Edits go onto this stack as undoable commands; without one they apply directly.
    void setUndoStack(QUndoStack *stack) { _undoStack = stack; }
    QUndoStack *undoStack() const { return _undoStack; }
    // Edits after this never merge into a step begun before it.
    void beginGesture() { ++_gesture; }
    int gesture() const { return _gesture; }

    // For the commands: maps by place in the list. Each selects the map it
    // touched and sends the one notification of a change.
    int selectionIndex() const;
    void setMapValue(int index, const QvTransform &value);
    void insertMap(int index, const QvTransform &value);
    // Takes the map out and selects the one then at select (none for -1).
    void removeMap(int index, int select);

    // The clipboard carries a map as its document text, under this type and as plain text.
    static const QString kMapMimeType;

    QvTransform *selection() const { return _selection; }
    void setSelection(QvTransform *transform);
    QvTransform *halfSelection() const { return _halfSelection; }
    bool optionKeyDown() const { return _optionKeyDown; }
    bool scalingSelection() const { return _scalingSelection; }

    // Drawing; the painter is in view coordinates (y up).
    void drawRect(QPainter &painter, const QRectF &rect) const;
    void drawGridBoxOnly(QPainter &painter) const;
    void drawAxes(QPainter &painter) const;

    void updateDisplay();
    void updateDisplayAndFractal();

    // Mouse, in view coordinates.
    void mouseEntered();
    void mouseExited();
    void flagsChanged(Qt::KeyboardModifiers modifiers);
    void mouseMoved(QPointF viewPoint);
    void mouseDown(QPointF viewPoint);
    void mouseDragged(QPointF viewPoint, Qt::KeyboardModifiers modifiers, bool rightButton = false);
    void mouseUp(int clickCount);
    void rightMouseDown(QPointF viewPoint);
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
    void deleteBackward() { deleteTransform(); }
    void deleteForward() { deleteTransform(); }
    void moveSelectionXBy(float dx);
    void moveSelectionYBy(float dy);

    void exportToText();
    // End of the export dialog: writes the report to path when returnCode is
    // 1 and the context is the text export's own. True when a file was written.
    bool exportPanelDidEnd(int returnCode, const QString &path, const QString &contextInfo);

    // The floating info panel and its fields.
    struct InfoFields {
        QLineEdit *translation = nullptr;
        QLineEdit *rotation = nullptr;
        QLineEdit *scale = nullptr;
        QLineEdit *a = nullptr;
        QLineEdit *b = nullptr;
        QLineEdit *c = nullptr;
        QLineEdit *d = nullptr;
        // Editable: Enter or leaving the field applies the value.
        QLineEdit *tx = nullptr;
        QLineEdit *ty = nullptr;
        QLineEdit *sx = nullptr;
        QLineEdit *sy = nullptr;
        QLineEdit *degrees = nullptr;
        QLineEdit *probability = nullptr;
    };
    QWidget *infoPanel() const { return _infoPanel; }
    const InfoFields &infoFields() const { return _info; }

signals:
    // One change made through this canvas; its own document counts it.
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
    void madeAChange();
    void perform(QUndoCommand *command);
    void commitMapEdit(int kind, const QvTransform &next);
    // Repeated keys on one map are one step until another edit or a pause.
    void commitKeyEdit(int kind, const QvTransform &next);
    void applyInfoField(QLineEdit *field);
    QString fieldText(const QLineEdit *field, const QvTransform &t) const;
    bool copySelection();
    void addMapCopy(const QvTransform &value, const QString &name);
    void rotateSelectionBy(double step);
    void changeSelectionScaleBy(double dx, double dy);
    void buildInfoPanel();
    bool hasArea() const { return width() > 0 && height() > 0; }
    // Qt widget position to view coordinates.
    QPointF viewPointFromEvent(const QMouseEvent *event) const;
    bool interpretKeyEvent(const QKeyEvent *event);
    // Ends the mouse gesture in progress as its button's release would.
    void endGesture(Qt::KeyboardModifiers modifiers, int clickCount = 0);

    Controls _controls;
    // The renderer may be torn down before the editor when the window closes.
    QPointer<MyOpenGLView> _fractalView;

    QWidget *_infoPanel = nullptr;
    InfoFields _info;

    FracPtr _fractal;
    float _rxMin = -2.0f;
    float _rxMax = 2.0f;
    float _ryMin = -2.0f;
    float _ryMax = 2.0f;
    float _boxWidth = 1.0f;
    // Plain references into _fractal's list, cleared whenever their map leaves it.
    QvTransform *_selection = nullptr;
    QvTransform *_halfSelection = nullptr;
    QPointF _mouseMovedPoint;
    QPointF _mouseDownPoint;
    QPointF _offset;
    QPointF _mouseDraggedPoint;
    QPointF _mouseDownScale;
    bool _scalingSelection = false;
    bool _optionKeyDown = false;
    bool _mouseExited = false;

    // Qt event bookkeeping: which button started the gesture and whether the
    // press in progress is the second of a double click.
    Qt::MouseButton _gestureButton = Qt::NoButton;
    int _clickCount = 0;
    bool _awoken = false;

    QUndoStack *_undoStack = nullptr;
    int _gesture = 0;
    int _keyGesture = -1;
    int _lastKeyKind = 0;
    QElapsedTimer _keyTimer;
};

} // namespace attractor
