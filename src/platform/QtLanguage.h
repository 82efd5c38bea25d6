#pragma once

class QCoreApplication;
class QLocale;

// Qt's own texts (context menus, file dialogs, standard buttons, calendar names) in Russian, as the program's are.
namespace QtLanguage {

// Installs Qt's Russian catalogue, mapped rather than read so that start-up reads only the texts shown, and makes
// the default locale Russian where the system's is C or POSIX (no user locale chosen).
void installRussian(QCoreApplication& application, const QLocale& system);

} // namespace QtLanguage
