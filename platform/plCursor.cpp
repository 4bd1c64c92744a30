#include "platform/plCursor.h"

#include "platform/plFiles.h"
#include "platform/plImageCodecs.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

namespace {
TServiceSlot<TScreenCursor> g_cursor;

Qt::CursorShape StandardShape(int id) {
    switch (id) {
    case -1: return Qt::BlankCursor;
    case Cursors::Cross: return Qt::CrossCursor;
    case Cursors::IBeam: return Qt::IBeamCursor;
    case -6: return Qt::SizeBDiagCursor;
    case -7: return Qt::SizeVerCursor;
    case -8: return Qt::SizeFDiagCursor;
    case -9: return Qt::SizeHorCursor;
    case -10: return Qt::UpArrowCursor;
    case Cursors::HourGlass: case -17: return Qt::WaitCursor;
    case Cursors::Drag: case -16: return Qt::DragCopyCursor;
    case -13: case Cursors::No: return Qt::ForbiddenCursor;
    case -14: return Qt::SplitHCursor;
    case -15: return Qt::SplitVCursor;
    case Cursors::AppStart: return Qt::BusyCursor;
    case -20: return Qt::WhatsThisCursor;
    case Cursors::HandPoint: return Qt::PointingHandCursor;
    case Cursors::SizeAll: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
    }
}
}  // namespace

void TScreenCursor::RegisterCursor(int id, const QCursor& cursor) { m_custom[id] = TCustom{{}, cursor}; }

void TScreenCursor::RegisterCursor(int id, std::function<QCursor()> make) { m_custom[id] = TCustom{std::move(make), {}}; }

QCursor TScreenCursor::CursorOf(int id) const {
    const auto it = m_custom.find(id);
    if (it == m_custom.end()) return QCursor(StandardShape(id));
    const TCustom& custom = it->second;
    if (!custom.made) custom.made = custom.make();
    return *custom.made;
}

TScreenCursor& TScreenCursor::Current() {
    static TQtScreenCursor qt;
    return g_cursor.Get(qt);
}

TScreenCursor* TScreenCursor::Install(TScreenCursor* cursor) noexcept { return g_cursor.Install(cursor); }

TQtScreenCursor::~TQtScreenCursor() {
    if (m_overridden && qGuiApp) QGuiApplication::restoreOverrideCursor();
}

void TQtScreenCursor::SetCursor(int id) {
    m_id = id;
    if (!qGuiApp) return;
    if (id == Cursors::Default) {
        if (m_overridden) QGuiApplication::restoreOverrideCursor();
        m_overridden = false;
        return;
    }
    if (m_overridden) {
        QGuiApplication::changeOverrideCursor(CursorOf(id));
    } else {
        QGuiApplication::setOverrideCursor(CursorOf(id));
        m_overridden = true;
    }
}

bool LoadCursorFile(const QString& path, QCursor& cursor) {
    QFile f(path);
    QByteArray data;
    if (OpenRegularFileForReading(f) != TOpenForReading::Opened || !ReadAtMost(f, MaxEncodedImageBytes, data))
        return false;
    // Directory: reserved, type 2, count; then entries of 16 bytes whose
    // fourth and fifth words hold the hot spot.
    if (data.size() < 22) return false;
    auto* p = reinterpret_cast<uchar*>(data.data());
    if (qFromLittleEndian<quint16>(p) != 0 || qFromLittleEndian<quint16>(p + 2) != 2 ||
        qFromLittleEndian<quint16>(p + 4) < 1)
        return false;
    const int hotX = qFromLittleEndian<quint16>(p + 10);
    const int hotY = qFromLittleEndian<quint16>(p + 12);
    // Read the picture as an icon: type 1, one plane, bit count from the bitmap.
    qToLittleEndian<quint16>(1, p + 2);
    qToLittleEndian<quint16>(1, p + 10);
    qToLittleEndian<quint16>(0, p + 12);
    QBuffer buffer(&data);
    const QImage image = ReadImageOfFormat(buffer, "ico");
    if (image.isNull()) return false;
    cursor = QCursor(QPixmap::fromImage(image), hotX, hotY);
    return true;
}
