#pragma once
// S("text"): a QString from a UTF-8 literal, the short form test tables use.

#include <QString>

inline QString S(const char* text) { return QString::fromUtf8(text); }
