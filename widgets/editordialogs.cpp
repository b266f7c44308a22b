#include "editordialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

void QtEditorDialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

void QtEditorDialogs::warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

void QtEditorDialogs::critical(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::critical(parent, title, text);
}

bool QtEditorDialogs::question(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtEditorDialogs::getText(QWidget* parent, const QString& title, const QString& label,
                              const QString& text, QString* answer)
{
    bool ok = false;
    const QString value = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (ok && answer)
        *answer = value;
    return ok;
}

bool QtEditorDialogs::getItem(QWidget* parent, const QString& title, const QString& label,
                              const QStringList& items, int current, QString* answer)
{
    bool ok = false;
    const QString value = QInputDialog::getItem(parent, title, label, items, current, false, &ok);
    if (ok && answer)
        *answer = value;
    return ok;
}

QString QtEditorDialogs::getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                         const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString QtEditorDialogs::getSaveFileName(QWidget* parent, const QString& title, const QString& path,
                                         const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, path, filter);
}

QString QtEditorDialogs::getExistingDirectory(QWidget* parent, const QString& title, const QString& folder)
{
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

namespace EditorDialogService {

namespace {
EditorDialogs* s_installed = nullptr;
}

EditorDialogs* current()
{
    static QtEditorDialogs qtDialogs;
    return s_installed ? s_installed : &qtDialogs;
}

void install(EditorDialogs* dialogs)
{
    s_installed = dialogs;
}

} // namespace EditorDialogService
