#include "app/Prompts.h"

#include "app/RecoverDialog.h"

#include "widgets/FileDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace attractor {

const QString Prompts::kDocumentFilter = QStringLiteral("Fractal documents (*.frac);;All files (*)");

namespace {

Prompts::Handlers &current()
{
    static Prompts::Handlers handlers = Prompts::defaults();
    return handlers;
}

Prompts::SaveAnswer defaultAskToSave(QWidget *parent, const QString &displayName)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    QObject::tr("Do you want to save the changes you made to “%1”?").arg(displayName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setInformativeText(QObject::tr("Your changes will be lost if you don’t save them."));
    box.setDefaultButton(QMessageBox::Save);
    box.setWindowModality(Qt::WindowModal);
    switch (box.exec()) {
    case QMessageBox::Save:
        return Prompts::SaveAnswer::Save;
    case QMessageBox::Discard:
        return Prompts::SaveAnswer::Discard;
    default:
        return Prompts::SaveAnswer::Cancel;
    }
}

QString defaultSavePath(QWidget *parent, const QString &proposedPath)
{
    QFileDialog dialog(parent, QObject::tr("Save As"));
    useNameOnlyFileTypes(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Prompts::kDocumentFilter);
    dialog.setDefaultSuffix(QStringLiteral("frac"));
    dialog.setDirectory(QFileInfo(proposedPath).absolutePath());
    dialog.selectFile(QFileInfo(proposedPath).fileName());
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QStringList defaultOpenPaths(QWidget *parent)
{
    // As QFileDialog::getOpenFileNames would ask, but typing files by name only.
    QFileDialog dialog(parent, QObject::tr("Open"), QString(), Prompts::kDocumentFilter);
    useNameOnlyFileTypes(dialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

bool defaultConfirmRevert(QWidget *parent, const QString &displayName)
{
    const auto answer = QMessageBox::question(
        parent, QCoreApplication::applicationName(),
        QObject::tr("Revert to the saved version of “%1”? Your current changes will be lost.").arg(displayName),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Yes;
}

void defaultShowError(QWidget *parent, const QString &title, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok, parent);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

bool defaultConfirmStopExport(QWidget *parent, const QString &displayName)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                    QObject::tr("An export of “%1” is running. Do you want to stop it?").arg(displayName),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QObject::tr("The image file will not be written."));
    QAbstractButton *stop = box.addButton(QObject::tr("Stop Export"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    return box.clickedButton() == stop;
}

bool defaultPrint(QWidget *parent, QPrinter &printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec() == QDialog::Accepted;
}

void defaultPageSetup(QWidget *parent, QPrinter &printer)
{
    QPageSetupDialog dialog(&printer, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

// A two-way question; true for the accepting answer.
bool ask(QWidget *parent, const QString &text, const QString &detail, const QString &yes, const QString &no)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::NoButton, parent);
    box.setInformativeText(detail);
    QPushButton *accept = box.addButton(yes, QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(no, QMessageBox::RejectRole));
    box.setWindowModality(Qt::WindowModal);
    box.exec();
    return box.clickedButton() == accept;
}

bool defaultAskReload(QWidget *parent, const QString &displayName)
{
    return ask(parent, QObject::tr("“%1” was changed by another program.").arg(displayName),
               QObject::tr("Reload it and lose your changes, or keep your version?"), QObject::tr("Reload"),
               QObject::tr("Keep Mine"));
}

bool defaultConfirmOverwrite(QWidget *parent, const QString &displayName)
{
    return ask(parent, QObject::tr("“%1” was changed by another program since it was opened.").arg(displayName),
               QObject::tr("Save your version over it?"), QObject::tr("Save"), QObject::tr("Cancel"));
}

} // namespace

Prompts::Handlers Prompts::defaults()
{
    return {defaultAskToSave, defaultSavePath, defaultOpenPaths, defaultConfirmRevert,
            defaultShowError, defaultConfirmStopExport, defaultPrint, defaultPageSetup, defaultAskReload, defaultConfirmOverwrite,
            [](QWidget *parent, const QList<RecoveryItem> &items) { return RecoverDialog(items, parent).run(); }};
}

void Prompts::install(const Handlers &handlers)
{
    // Only the handlers given replace the installed ones.
    Handlers &h = current();
    const auto replace = [](auto &installed, const auto &given) {
        if (given)
            installed = given;
    };
    replace(h.askToSave, handlers.askToSave);
    replace(h.savePath, handlers.savePath);
    replace(h.openPaths, handlers.openPaths);
    replace(h.confirmRevert, handlers.confirmRevert);
    replace(h.chooseRecovery, handlers.chooseRecovery);
    replace(h.askReload, handlers.askReload);
    replace(h.confirmOverwrite, handlers.confirmOverwrite);
    replace(h.showError, handlers.showError);
    replace(h.confirmStopExport, handlers.confirmStopExport);
    replace(h.print, handlers.print);
    replace(h.pageSetup, handlers.pageSetup);
}

Prompts::SaveAnswer Prompts::askToSave(QWidget *parent, const QString &displayName)
{
    return current().askToSave(parent, displayName);
}

QString Prompts::savePath(QWidget *parent, const QString &proposedPath)
{
    return current().savePath(parent, proposedPath);
}

QStringList Prompts::openPaths(QWidget *parent)
{
    return current().openPaths(parent);
}

bool Prompts::confirmRevert(QWidget *parent, const QString &displayName)
{
    return current().confirmRevert(parent, displayName);
}

void Prompts::showError(QWidget *parent, const QString &title, const QString &message)
{
    current().showError(parent, title, message);
}

bool Prompts::confirmStopExport(QWidget *parent, const QString &displayName)
{
    return current().confirmStopExport(parent, displayName);
}

bool Prompts::print(QWidget *parent, QPrinter &printer)
{
    return current().print(parent, printer);
}

void Prompts::pageSetup(QWidget *parent, QPrinter &printer)
{
    current().pageSetup(parent, printer);
}

bool Prompts::askReload(QWidget *parent, const QString &displayName)
{
    return current().askReload(parent, displayName);
}

bool Prompts::confirmOverwrite(QWidget *parent, const QString &displayName)
{
    return current().confirmOverwrite(parent, displayName);
}

Prompts::RecoveryAnswer Prompts::chooseRecovery(QWidget *parent, const QList<RecoveryItem> &items)
{
    return current().chooseRecovery(parent, items);
}

} // namespace attractor
