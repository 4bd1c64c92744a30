#pragma once
// The screen cursor: one cursor for the whole application, chosen by number
// from a table that holds the standard shapes and the cursors the program
// registers. The Qt implementation shows it as the application's override
// cursor; the fake only remembers it.

#include "platform/plInstaller.h"

#include <QCursor>
#include <QString>

#include <functional>
#include <map>
#include <optional>

// Standard cursor numbers; custom cursors use positive numbers.
namespace Cursors {
constexpr int Default = 0;  // no override: each widget shows its own
constexpr int Arrow = -2;
constexpr int Cross = -3;
constexpr int IBeam = -4;
constexpr int SizeAll = -22;
constexpr int HourGlass = -11;
constexpr int Drag = -12;
constexpr int No = -18;
constexpr int HandPoint = -21;
constexpr int AppStart = -19;
}  // namespace Cursors

class TScreenCursor {
public:
    virtual ~TScreenCursor() = default;
    virtual int Cursor() const = 0;
    virtual void SetCursor(int id) = 0;

    // Registers (or replaces) a cursor under `id`.
    void RegisterCursor(int id, const QCursor& cursor);
    // Registers (or replaces) a cursor that `make` gives when it is first
    // asked for: reading a cursor file at start-up costs time whether or not
    // the pointer ever takes that shape.
    void RegisterCursor(int id, std::function<QCursor()> make);
    // The cursor of number `id`; the arrow for an unknown number.
    QCursor CursorOf(int id) const;

    static TScreenCursor& Current();
    static TScreenCursor* Install(TScreenCursor* cursor) noexcept;

private:
    struct TCustom {
        std::function<QCursor()> make;
        mutable std::optional<QCursor> made;
    };
    std::map<int, TCustom> m_custom;
};

class TQtScreenCursor : public TScreenCursor {
public:
    ~TQtScreenCursor() override;
    int Cursor() const override { return m_id; }
    void SetCursor(int id) override;

private:
    int m_id = Cursors::Default;
    bool m_overridden = false;
};

class TFakeScreenCursor : public TScreenCursor {
public:
    int Cursor() const override { return m_id; }
    void SetCursor(int id) override {
        m_id = id;
        ++Changes;
    }
    int Changes = 0;

private:
    int m_id = Cursors::Default;
};

class TScreenCursorInstaller : public TInstaller<TScreenCursor> {
public:
    using TInstaller::TInstaller;
};

// A cursor from a Windows cursor file (".cur"; the hot spot is kept); a null
// cursor (Qt::BitmapCursor with no pixmap) when the file can't be read, is
// not a regular file or is larger than MaxEncodedImageBytes.
bool LoadCursorFile(const QString& path, QCursor& cursor);
