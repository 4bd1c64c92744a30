#pragma once
// Collects the Qt warnings written while it lives (what LogCurrentException
// and the platform's own border catches write), so that a test can check
// that a caught exception was logged and not swallowed.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class TWarningLog {
public:
    TWarningLog() : m_previous(qInstallMessageHandler(&TWarningLog::Collect)) { Active() = this; }
    ~TWarningLog() {
        qInstallMessageHandler(m_previous);
        Active() = nullptr;
    }
    TWarningLog(const TWarningLog&) = delete;
    TWarningLog& operator=(const TWarningLog&) = delete;

    bool Contains(const QString& part) const {
        for (const QString& line : m_lines)
            if (line.contains(part)) return true;
        return false;
    }

private:
    static TWarningLog*& Active() {
        static TWarningLog* active = nullptr;
        return active;
    }
    static void Collect(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg && Active()) Active()->m_lines.append(text);
    }

    QtMessageHandler m_previous;
    QStringList m_lines;
};
