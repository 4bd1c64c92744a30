#pragma once
// A sheet showing a scheme of test boxes, with an undo/redo list.

#include "core/cuUndoRedo.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diSheet.h"
#include "support/testVisualElements.h"

// Sheet settings made as the settings tree makes them.
inline TNodePtr<TSheetSettings> MakeSheetSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

struct TSheetFixture {
    TNodePtr<TSheetSettings> settings = MakeSheetSettings();
    TSheet sheet{settings.get()};
    TUndoRedo history;
    TElementMessages messages;
    std::unique_ptr<TScheme> scheme = MakeVisualTestScheme();
    TElement_TestBox* root = static_cast<TElement_TestBox*>(scheme->Root());

    TSheetFixture() {
        scheme->SetUndoRedo(&history);
        scheme->SetMessages(&messages);
        root->SetVisualParent(sheet.Root());
    }
    // Presses a key on the sheet; answers what is left of it (0: consumed).
    int Key(int key, TShiftState shift = 0) {
        sheet.KeyDown(key, shift);
        return key;
    }
    // Lays out the whole shown tree as the sheet does after a change of settings.
    void Layout() {
        TSheetUpdate update(&sheet);
        sheet.Root()->UpdateLayout(true, true, false, false);
    }
};
