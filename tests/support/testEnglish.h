#pragma once
// Texts in English for the life of the object; the previous language after.

#include "core/cuLocalization.h"

class TEnglishTexts {
public:
    TEnglishTexts() : m_previous(Localization()->Language()) { Localization()->SetLanguage(1033); }
    ~TEnglishTexts() { Localization()->SetLanguage(m_previous); }
    TEnglishTexts(const TEnglishTexts&) = delete;
    TEnglishTexts& operator=(const TEnglishTexts&) = delete;

private:
    uint16_t m_previous;
};
