#pragma once

#include <QMainWindow>
#include <QStringList>

namespace attractor {

class Document;

// The one window of a document. Closing asks the document first; files
// dropped on it are handed on to be opened.
class DocumentWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit DocumentWindow(Document *document);

    Document *document() const { return _document; }

    // Takes the size and place of the document window the user last closed
    // (kept in the settings); keeps the current ones when there is none.
    void restoreLastGeometry();

signals:
    void filesDropped(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void rememberGeometry() const;

    Document *_document;
};

} // namespace attractor
