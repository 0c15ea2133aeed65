#pragma once

class QCoreApplication;

// Qt's own Russian texts (dialog titles, standard buttons, edit menus), so
// that the file dialogs and message boxes speak the window's language.
// Returns false when the system has no Russian Qt translations.
bool InstallQtTranslations(QCoreApplication* app);
