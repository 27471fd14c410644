#pragma once

#include <QString>

class QWidget;

namespace quorvex {

// The program's file dialogs: Qt's own (the platform's may speak another language), in Chinese
// with Chinese dates and sizes, in the detail view sorted newest first and wide enough for
// whole names, so that copies differing only in their date and time are told apart.
// Answers the chosen path, or an empty string when cancelled.
QString chooseFileToOpen(QWidget* parent, const QString& caption, const QString& startFolder,
                         const QString& filter);
QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& startPath,
                         const QString& filter);

} // namespace quorvex
