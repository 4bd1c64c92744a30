#pragma once
// The editor's sounds: the "Sounds" settings section and the routine that
// plays a named sound resource.

#include "core/cuProps.h"

#include <QString>

class TBooleanProperty;

// The section "Sounds": "Enabled" (default on).
class TSoundsSettings : public TProperty {
    T_CLASS(TSoundsSettings)
public:
    TSoundsSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();

    bool Enabled() const;
    TBooleanProperty* EnabledProperty() const noexcept { return m_enabled; }

protected:
    ~TSoundsSettings() override = default;

private:
    TBooleanProperty* m_enabled = nullptr;
};

// The shared section, made by the unit's initialisation; nullptr outside the
// unit's lifetime. The application hangs it into its settings tree and takes
// it out again before freeing that tree: the unit's finalisation frees it.
TSoundsSettings* SoundsSettings() noexcept;

// Sound names of the palette and the sheet.
inline const QString sndItem = QStringLiteral("diClassesItemSound");
inline const QString sndElement = QStringLiteral("diClassesElementSound");
inline const QString sndDisable = QStringLiteral("diClassesDisableSound");
inline const QString sndDropDown = QStringLiteral("diClassesDropDownSound");
inline const QString sndValue = QStringLiteral("diClassesValueSound");

// Plays the sound resource `name` when the setting "Enabled" is on, without
// waiting and without interrupting a sound still playing. A name without a
// resource plays nothing and raises nothing.
void PlaySchemeSound(const QString& name);

// A sound resource looked up once, for an owner that plays it often (the log
// plays one per message): playing it costs no search of the resources.
// Plays as PlaySchemeSound does.
class TSchemeSound {
public:
    explicit TSchemeSound(const QString& name);
    void Play() const;

private:
    QString m_path;  // empty: no such resource
};

void InitSoundsUnit();
void FinalSoundsUnit();
