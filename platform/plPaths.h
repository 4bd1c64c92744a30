#pragma once
// Where the program keeps the user's files: the user's data folder of the
// desktop ($XDG_DATA_HOME, else ~/.local/share) and the program's own folder
// inside it.

#include <QString>

// The user's data folder (QStandardPaths::GenericDataLocation), without a
// trailing separator; empty when the system names none.
QString UserDataFolder();

// The folder of the program's settings, session and recent files: the user's
// data folder, then `company` and `product` (an empty name adds no level),
// made when missing. When it cannot be made, the folder of the program file.
// Ends with "/".
QString ApplicationDataFolder(const QString& company, const QString& product);
