// Headers parsed once per build and reused by every library (QUILLANE_PCH):
// the Qt and standard headers most units include. Each unit still includes
// what it uses itself; builds without precompiled headers must compile too.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>
