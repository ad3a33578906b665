#pragma once

#include "persistence/IfsFormat.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace attractor {

class DocumentController;
class ImportDialog;
class MyDocument;
class QvFrac;

// Fractals to and from other programs: Fractint .ifs files in, .ifs and
// flam3 flames out.
namespace interchange {

enum class Format { Ifs, Flame };

// The questions asked here; tests answer them without a dialog. Handlers
// left empty keep the ones installed.
struct Questions {
    // An .ifs file to import; empty when cancelled.
    std::function<QString(QWidget *parent)> importPath;
    // Where to export, proposing proposedPath; empty when cancelled.
    std::function<QString(QWidget *parent, const QString &proposedPath, Format format)> exportPath;
    // Runs the import dialog; the entries to open as rows of its list, none when cancelled.
    std::function<QList<int>(ImportDialog &dialog)> chooseEntries;
};
void installQuestions(const Questions &questions);
Questions defaultQuestions();

// The file's extension without the dot, and its file-chooser filter.
QString suffix(Format format);
QString nameFilter(Format format);

// The entries of the .ifs file at path; none, and the user told which file,
// which line and why, when it cannot be read.
std::optional<std::vector<IfsEntry>> readIfsFile(const QString &path, QWidget *parent);

// Opens each entry called by one of names as a new untitled document. An
// entry that is not a drawable fractal (3D) is refused and its reason shown;
// a file that cannot be read opens nothing.
QList<MyDocument *> importEntries(DocumentController &controller, const QString &path, const QStringList &names,
                                  QWidget *parent);
// One entry of the file at path opened alike; none when it is refused.
MyDocument *openEntry(DocumentController &controller, const QString &path, const IfsEntry &entry, QWidget *parent);
// A new untitled document holding fractal; it counts as edited, so closing
// it asks to save it.
MyDocument *openUntitled(DocumentController &controller, FracPtr fractal);

// File ▸ Import…: a file, then the entries chosen from it in the import dialog.
void importWithDialog(DocumentController &controller, QWidget *parent);

// Writes fractal to path as an entry or flame called name; false, and the
// user told which file and why, when it cannot be written.
bool exportFractal(const QvFrac &fractal, const QString &name, Format format, const QString &path, QWidget *parent);
// File ▸ Export as…: asks where, proposing proposedPath with the format's
// extension, then writes.
bool exportWithDialog(const QvFrac &fractal, const QString &name, Format format, const QString &proposedPath,
                      QWidget *parent);

} // namespace interchange
} // namespace attractor
