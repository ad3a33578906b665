#pragma once

class QFileDialog;

namespace attractor {

// Makes dialog tell file types and icons by the file name alone, so listing a
// folder never opens a file: reading /proc/kmsg, a pipe or a device to guess
// its type would hold the program up for as long as nothing arrives. A
// native dialog (one that Qt does not draw) lists folders itself and is left
// as it is.
void useNameOnlyFileTypes(QFileDialog &dialog);

} // namespace attractor
