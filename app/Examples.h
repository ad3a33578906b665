#pragma once

#include "persistence/IfsFormat.h"

#include <QString>

#include <vector>

class QMenu;
class QWidget;

namespace attractor {

class DocumentController;

// The classic fractals that come with the program, kept as an .ifs file
// among the resources.
namespace examples {

extern const QString kResource;

// The entries in the file's order; read once.
const std::vector<IfsEntry> &entries();
// As the menu shows an entry's name: an underscore is a space.
QString readableName(const IfsEntry &entry);
// One action per example; each opens its fractal as a new untitled document.
void fillMenu(QMenu *menu, DocumentController *controller, QWidget *parent);

} // namespace examples
} // namespace attractor
