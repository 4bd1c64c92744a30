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
    return CompileAndRun(QString(), nullptr);
}

QString TFpcHarness::CompileAndRun(const QString& body, QString* output) const {
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
    program += QStringLiteral("begin\n") + body + QStringLiteral("\nend.\n");
    QFile main(dir.filePath(QStringLiteral("QuillaneCheck.pas")));
    if (!main.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the program");
    main.write(program.toUtf8());
    main.close();
    QProcess fpc;
    fpc.setWorkingDirectory(dir.path());
    QStringList arguments = {QStringLiteral("-Mdelphi"), QStringLiteral("-Sa"), QStringLiteral("-vew"),
                             QStringLiteral("-FU") + dir.path(), QStringLiteral("-Fu") + dir.path(), main.fileName()};
    if (!output) arguments << QStringLiteral("-Cn");  // no linking when nothing runs
    fpc.start(QStringLiteral("fpc"), arguments);
    if (!fpc.waitForFinished(120000)) return QStringLiteral("fpc did not finish");
    if (fpc.exitStatus() == QProcess::NormalExit && fpc.exitCode() == 0) {
        if (!output) return QString();
        QProcess run;
        run.start(dir.filePath(QStringLiteral("QuillaneCheck")), {});
        if (!run.waitForFinished(60000) || run.exitCode() != 0)
            return QStringLiteral("the program failed: ") + QString::fromLocal8Bit(run.readAll());
        *output = QString::fromLocal8Bit(run.readAllStandardOutput());
        return QString();
    }
    QString out = QString::fromLocal8Bit(fpc.readAllStandardOutput() + fpc.readAllStandardError());
    for (const auto& [name, text] : m_units) out += QStringLiteral("\n--- ") + name + QStringLiteral(".pas\n") + text;
    return out.isEmpty() ? QStringLiteral("fpc failed") : out;
}
