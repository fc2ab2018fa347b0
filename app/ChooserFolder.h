#pragma once
#include <QString>

// Where the file and folder choosers open: the folder the user chose from last, else the
// user's music folder, else the home folder. Kept in "profile.ini".
QString ChooserStartFolder();
// Remembers the folder of a choice (a file's folder, or the folder itself).
void RememberChooserFolder(const QString& chosen);
