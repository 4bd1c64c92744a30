#pragma once
// The data module for tests of the program's windows: its files in a
// temporary XDG data folder (the user's folder stays untouched), an English
// locale and the version "1.0" of "Test Product"; the previous folder comes
// back at the end.

#include "app/unGlobal.h"
#include "support/testEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

class TTestGlobal {
public:
    TTestGlobal() {
        m_global = TGlobal::Create({{}, {"TestCo", "Test Product", "1.0"}, QLocale(QLatin1String("en_US"))});
    }
    TTestGlobal(const TTestGlobal&) = delete;
    TTestGlobal& operator=(const TTestGlobal&) = delete;

    TGlobal& operator*() const noexcept { return *m_global; }
    TGlobal* operator->() const noexcept { return m_global.get(); }

private:
    QTemporaryDir m_xdg;
    TEnvironmentScope m_data{"XDG_DATA_HOME", QFile::encodeName(m_xdg.path())};
    std::unique_ptr<TGlobal> m_global;
};
