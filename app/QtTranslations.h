#pragma once

// Qt's own texts (the buttons of message boxes, the file and folder choosers) in Chinese, as
// the rest of the program: the translations Qt ships for the locale, loaded once per process.
// False when none are installed (the choosers then stay in English).
bool InstallQtTranslations();
