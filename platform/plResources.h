#pragma once
// Named resources of the program (pictures, sounds, themes). Every unit
// embeds its files under ":/rc/" with the resource name as the file's base
// name and its format as the extension ("diClassesSmallImages.png",
// "diClassesItemSound.wav").

#include <QByteArray>
#include <QString>

// The path of the resource file named `name` (any extension), or an empty
// string when there is none.
QString FindResource(const QString& name);
// The bytes of the resource; false (and data untouched) when there is none.
bool LoadResource(const QString& name, QByteArray& data);
