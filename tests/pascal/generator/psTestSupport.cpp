#include "psTestSupport.h"

#include "core/cuCodeWriters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

QString WriteToText(TPascalNode* node) {
    TPascalCodeWriter writer;
    node->Write(writer);
    if (!writer.Lines().isEmpty() && writer.Lines().last().isEmpty()) writer.Lines().removeLast();
    return writer.Text();
}

QString Lines(std::initializer_list<const char*> lines) {
    QString text;
    for (const char* line : lines) text += QString::fromUtf8(line) + u'\n';
    return text;
}

bool TFpcHarness::Available() {
    static const bool available = !QStandardPaths::findExecutable(QStringLiteral("fpc")).isEmpty();
    return available;
}

void TFpcHarness::Add(const QString& unitName, const QString& text) {
    m_units.emplace_back(unitName, text);
}

QString TFpcHarness::AddUnit(TPascalUnit* unit, bool simplify) {
    const QString text = WritePascalModule(unit, simplify);
    Add(unit->Name, text);
    return text;
}

QString TFpcHarness::Compile() const {
    QTemporaryDir dir;
    if (!dir.isValid()) return QStringLiteral("no temporary folder");
    QString program = QStringLiteral("program QuillaneCheck;\n");
    QStringList names;
    for (const auto& [name, text] : m_units) {
        QFile file(dir.filePath(name + QStringLiteral(".pas")));
        if (!file.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write ") + file.fileName();
        file.write(text.toUtf8());
        names << name;
    }
    if (!names.isEmpty()) program += QStringLiteral("uses ") + names.join(QStringLiteral(", ")) + QStringLiteral(";\n");
    program += QStringLiteral("begin\nend.\n");
    QFile main(dir.filePath(QStringLiteral("QuillaneCheck.pas")));
    if (!main.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the program");
    main.write(program.toUtf8());
    main.close();
    QProcess fpc;
    fpc.setWorkingDirectory(dir.path());
    fpc.start(QStringLiteral("fpc"), {QStringLiteral("-Mdelphi"), QStringLiteral("-Sa"), QStringLiteral("-vew"),
                                      QStringLiteral("-Cn"), QStringLiteral("-FU") + dir.path(),
                                      QStringLiteral("-Fu") + dir.path(), main.fileName()});
    if (!fpc.waitForFinished(120000)) return QStringLiteral("fpc did not finish");
    if (fpc.exitStatus() == QProcess::NormalExit && fpc.exitCode() == 0) return QString();
    QString out = QString::fromLocal8Bit(fpc.readAllStandardOutput() + fpc.readAllStandardError());
    for (const auto& [name, text] : m_units) out += QStringLiteral("\n--- ") + name + QStringLiteral(".pas\n") + text;
    return out.isEmpty() ? QStringLiteral("fpc failed") : out;
}
