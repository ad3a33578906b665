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

signals:
    void filesDropped(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Document *_document;
};

} // namespace attractor
