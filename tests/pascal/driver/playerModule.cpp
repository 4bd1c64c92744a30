#include "pascal/driver/playerModule.h"

#if QUILLANE_TEST_LAYER >= 7

namespace {

QString MethodAt(int n) { return QStringLiteral("TElement_Method[%1]").arg(n); }
QString BodyOf(int method) { return MethodAt(method) + QStringLiteral("/TCommandsContainerWithResult"); }

void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.SelectAll();
    driver.Type(text);
}

void TypeInto(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.Type(text);
}

void AddMethod(TSheetDriver& driver, int n, const QString& name, const QString& result = {}) {
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("M"));
    Retype(driver, MethodAt(n) + QStringLiteral("/TIdentifierNameField"), name);
    if (!result.isEmpty()) Retype(driver, MethodAt(n) + QStringLiteral("/TMethodResultTypeField"), result);
}

// A new statement of the caption at the end of the section at place; answers its path.
QString AddStatement(TSheetDriver& driver, const QString& place, const QString& caption, const QString& element) {
    driver.Focus(place);
    driver.MustApply(caption);
    return place + QLatin1Char('/') + element;
}

// A Let at the end of the section at place.
void AddLet(TSheetDriver& driver, const QString& place, int n, const QString& left, const QString& right) {
    const QString let = AddStatement(driver, place, QStringLiteral("Let"), QStringLiteral("TElement_Let[%1]").arg(n));
    TypeInto(driver, let + QStringLiteral("/TExpressionField[0]"), left);
    TypeInto(driver, let + QStringLiteral("/TExpressionField[1]"), right);
}

}  // namespace

void BuildPlayerModule(TSheetDriver& driver, const QString& libraryFile) {
    // The library: the playlist's file, chosen in the dialog, named "Lib".
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("File Connection"));
    const QString connection = QStringLiteral("TElement_FileConnection");
    driver.Focus(connection + QStringLiteral("/TFileConnectionFileNameField"));
    driver.Dialogs().FileAnswers.push_back(QStringList{libraryFile});
    driver.MustApply(QStringLiteral("Choose"));
    Retype(driver, connection + QStringLiteral("/TFileConnectionNameField"), QStringLiteral("Lib"));

    // The player's playlist, of the library's type.
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("E"));
    Retype(driver, QStringLiteral("TElement_Field/TFieldNameField"), QStringLiteral("Playlist"));
    Retype(driver, QStringLiteral("TElement_Field/TFieldTypeField"), QStringLiteral("Lib.TPlaylist"));

    // Start, which calls Stop declared after it and turns the volume up to
    // the playlist's class property.
    AddMethod(driver, 0, QStringLiteral("Start"));
    const QString call = AddStatement(driver, BodyOf(0), QStringLiteral("Identifier"),
                                      QStringLiteral("TElement_IdentifierInMethod"));
    TypeInto(driver, call + QStringLiteral("/TIdentifierField"), QStringLiteral("Stop"));
    AddLet(driver, BodyOf(0), 0, QStringLiteral("Playlist.Volume"), QStringLiteral("Playlist.MaxVolume"));
    // Stop, which resets the playlist (its method, inside its locker).
    AddMethod(driver, 1, QStringLiteral("Stop"));
    const QString reset = AddStatement(driver, BodyOf(1), QStringLiteral("Identifier"),
                                       QStringLiteral("TElement_IdentifierInMethod"));
    TypeInto(driver, reset + QStringLiteral("/TIdentifierField"), QStringLiteral("Playlist.Reset"));
    // Loudness(): int, which reads the volume and is called by Stop, declared before it.
    AddMethod(driver, 2, QStringLiteral("Loudness"), QStringLiteral("int"));
    const QString back = AddStatement(driver, BodyOf(2), QStringLiteral("Return"), QStringLiteral("TElement_Return"));
    TypeInto(driver, back + QStringLiteral("/TExpressionField"), QStringLiteral("Playlist.Volume"));
    AddLet(driver, BodyOf(1), 0, QStringLiteral("Playlist.Count"), QStringLiteral("Loudness"));
}

#endif
