#pragma once
// INTERIM: the palette tree reduced to what the visual elements use, until
// the palette unit lands.

#include "core/cuNode.h"
#include "scheme/diClasses.h"

#include <QString>

// Palette item flags.
enum : uint16_t {
    pifSelectionOnly = 0x0001,
    pifNotForSelection = 0x0002,
    pifNotCombined = 0x0004,
    pifShownDisabled = 0x0008,
    pifNoSheetUpdate = 0x0020,
    pifChangesElement = 0x0040,
    pifLargeImage = 0x0100,
    pifDisplayOne = 0x0400,
};

class TPaletteNode : public TNode {
    T_CLASS(TPaletteNode)
public:
    int Order = 0;
    int CaptionId = 0;
};

class TPaletteGroup : public TPaletteNode {
    T_CLASS(TPaletteGroup)
};

class TPaletteItem : public TPaletteNode {
    T_CLASS(TPaletteItem)
public:
    uint16_t Flags = 0;
    QString Letter;
};

class TVisualElement;

class TSchemePaletteItem : public TPaletteItem {
    T_CLASS(TSchemePaletteItem)
public:
    virtual void ApplyTo(TElement* element, bool checked);
    virtual void ApplyToList(const QList<TElement*>& list, bool checked);
    virtual QString GetSoundName() const { return QStringLiteral("diClassesItemSound"); }
    void ExecuteFor(TElement* element, bool checked);
    void ExecuteForList(const QList<TElement*>& list, bool checked);
};

class TElementPaletteItem : public TSchemePaletteItem {
    T_CLASS(TElementPaletteItem)
public:
    const TElementClass* ElementClass = nullptr;
    QString GetSoundName() const override { return QStringLiteral("diClassesElementSound"); }
};

class TDisablePaletteItem : public TSchemePaletteItem {
    T_CLASS(TDisablePaletteItem)
public:
    QString GetSoundName() const override { return QStringLiteral("diClassesDisableSound"); }
};

class TPalette : public TNode {
    T_CLASS(TPalette)
};

// The process-wide palette and its Disable item (nil outside the unit's life).
TPalette* Palette() noexcept;
TDisablePaletteItem* DisablePaletteItem() noexcept;
void InitPaletteUnit();
void FinalPaletteUnit();
