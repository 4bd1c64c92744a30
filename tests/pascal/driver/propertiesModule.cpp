#include "pascal/driver/propertiesModule.h"

#if QUILLANE_TEST_LAYER >= 7

#include "platform/plInput.h"
#include "support/testProgram.h"

const TElementClass* PropertiesModuleRootClass() { return TElement_TestProgramRoot::StaticClass(); }
QString PropertiesModuleName() { return QStringLiteral("ProgramModule"); }

namespace {

QString ObjectAt(int n) { return QStringLiteral("TElement_Object[%1]").arg(n); }
QString MembersOf(int object) { return ObjectAt(object) + QStringLiteral("/TObjectMembersContainer"); }

void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.SelectAll();
    driver.Type(text);
}

void TypeInto(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.Type(text);
}

void AddObject(TSheetDriver& driver, int n, const QString& name) {
    driver.Focus(driver.Root());
    driver.MustApply(QStringLiteral("Object"));
    Retype(driver, ObjectAt(n) + QStringLiteral("/TObjectNameField"), name);
}

// A member of the caption at the end of the object's members; answers its path.
QString AddMember(TSheetDriver& driver, int object, const QString& caption, const QString& element) {
    driver.Focus(MembersOf(object));
    driver.MustApply(caption);
    return MembersOf(object) + QLatin1Char('/') + element;
}

// A new statement of the caption at the end of the section at place; answers its path.
QString AddStatement(TSheetDriver& driver, const QString& place, const QString& caption, const QString& element) {
    driver.Focus(place);
    driver.MustApply(caption);
    return place + QLatin1Char('/') + element;
}

}  // namespace

void BuildPropertiesModule(TSheetDriver& driver) {
    // A track that can be played.
    AddObject(driver, 0, QStringLiteral("TTrack"));
    const QString play = AddMember(driver, 0, QStringLiteral("Method"), QStringLiteral("TElement_Method"));
    Retype(driver, play + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Play"));
    // Attach(AList: TPlaylist), which tells the track its playlist (declared after it).
    const QString attach = AddMember(driver, 0, QStringLiteral("Method"), QStringLiteral("TElement_Method[1]"));
    Retype(driver, attach + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Attach"));
    driver.Focus(attach);
    driver.MustApply(QStringLiteral("Parameter"));
    const QString list = attach + QStringLiteral("/TParametersContainer/TElement_Parameter");
    Retype(driver, list + QStringLiteral("/TParameterNameField"), QStringLiteral("AList"));
    Retype(driver, list + QStringLiteral("/TFieldTypeField"), QStringLiteral("TPlaylist"));

    // The playlist: a change counter and a title kept in fields.
    AddObject(driver, 1, QStringLiteral("TPlaylist"));
    const QString changes = AddMember(driver, 1, QStringLiteral("Field"), QStringLiteral("TElement_Field[0]"));
    Retype(driver, changes + QStringLiteral("/TFieldNameField"), QStringLiteral("FChanges"));
    const QString title = AddMember(driver, 1, QStringLiteral("Field"), QStringLiteral("TElement_Field[1]"));
    Retype(driver, title + QStringLiteral("/TFieldNameField"), QStringLiteral("FTitle"));
    Retype(driver, title + QStringLiteral("/TFieldTypeField"), QStringLiteral("str"));
    const QString update = AddMember(driver, 1, QStringLiteral("Locker"), QStringLiteral("TElement_Locker"));
    Retype(driver, update + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Update"));

    // Volume, kept in FVolume (named after the property when its name is
    // typed); its setter counts the changes that differ.
    const QString volume = AddMember(driver, 1, QStringLiteral("Property with Field"),
                                     QStringLiteral("TElement_PropertyWithField"));
    Retype(driver, volume + QStringLiteral("/TPropertyWithFieldNameField"), QStringLiteral("Volume"));
    Retype(driver, volume + QStringLiteral("/TFieldTypeField"), QStringLiteral("int"));
    driver.Focus(volume);
    driver.MustApply(QStringLiteral("Add Setter"));
    const QString setter = volume + QStringLiteral("/TCommandsContainer");
    const QString differ = AddStatement(driver, setter, QStringLiteral("Let if Different"),
                                        QStringLiteral("TElement_LetIfDifferent"));
    TypeInto(driver, differ + QStringLiteral("/TExpressionField[0]"), QStringLiteral("FVolume"));
    TypeInto(driver, differ + QStringLiteral("/TExpressionField[1]"), QStringLiteral("AValue"));
    const QString differs = differ + QStringLiteral("/TCommandsContainer");
    AddStatement(driver, differs, QStringLiteral("Inc"), QStringLiteral("TElement_Inc"));
    TypeInto(driver, differs + QStringLiteral("/TElement_Inc/TExpressionField"), QStringLiteral("FChanges"));

    // Caption(AShort: bool): str, read from and written to FTitle.
    const QString caption = AddMember(driver, 1, QStringLiteral("Property"), QStringLiteral("TElement_Property"));
    Retype(driver, caption + QStringLiteral("/TPropertyNameField"), QStringLiteral("Caption"));
    Retype(driver, caption + QStringLiteral("/TFieldTypeField"), QStringLiteral("str"));
    driver.Focus(caption);
    driver.MustApply(QStringLiteral("Add Parameters"));
    driver.MustApply(QStringLiteral("Parameter"));
    const QString shortParameter = caption + QStringLiteral("/TParametersContainer/TElement_Parameter");
    Retype(driver, shortParameter + QStringLiteral("/TParameterNameField"), QStringLiteral("AShort"));
    Retype(driver, shortParameter + QStringLiteral("/TFieldTypeField"), QStringLiteral("bool"));
    TypeInto(driver, caption + QStringLiteral("/TCommandsContainerWithResult/TElement_Return/TExpressionField"),
             QStringLiteral("FTitle"));
    TypeInto(driver, caption + QStringLiteral("/TCommandsContainer/TElement_Let/TExpressionField[0]"),
             QStringLiteral("FTitle"));

    // Marks[AIndex]: int, with their Count, whose setter is added afterwards.
    const QString marks =
        AddMember(driver, 1, QStringLiteral("Array Property"), QStringLiteral("TElement_PropertyArray"));
    Retype(driver, marks + QStringLiteral("/TPropertyNameField"), QStringLiteral("Marks"));
    Retype(driver, marks + QStringLiteral("/TFieldTypeField"), QStringLiteral("int"));
    Retype(driver, marks + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Count"));
    TypeInto(driver, marks + QStringLiteral("/TCommandsContainerWithResult[0]/TElement_Return/TExpressionField"),
             QStringLiteral("AIndex"));
    TypeInto(driver, marks + QStringLiteral("/TCommandsContainer[0]/TElement_Let/TExpressionField[0]"),
             QStringLiteral("FChanges"));
    TypeInto(driver, marks + QStringLiteral("/TCommandsContainerWithResult[1]/TElement_Return/TExpressionField"),
             QStringLiteral("FChanges"));
    driver.Focus(marks);
    driver.MustApply(QStringLiteral("Add Count Setter"));
    const QString countSetter = marks + QStringLiteral("/TCommandsContainer[1]");
    const QString store = AddStatement(driver, countSetter, QStringLiteral("Let"), QStringLiteral("TElement_Let"));
    TypeInto(driver, store + QStringLiteral("/TExpressionField[0]"), QStringLiteral("FChanges"));
    TypeInto(driver, store + QStringLiteral("/TExpressionField[1]"), QStringLiteral("AValue"));

    // The current track, made on first use; it plays once made.
    const QString current = AddMember(driver, 1, QStringLiteral("Property with SubObject"),
                                      QStringLiteral("TElement_PropertyWithSubObject"));
    Retype(driver, current + QStringLiteral("/TFieldTypeField"), QStringLiteral("TTrack"));
    Retype(driver, current + QStringLiteral("/TPropertyWithSubObjectNameField"), QStringLiteral("Current"));
    driver.Focus(current);
    driver.MustApply(QStringLiteral("Lazy"));
    driver.MustApply(QStringLiteral("Collapsed"));
    const QString made = current + QStringLiteral("/TCommandsContainer");
    const QString call =
        AddStatement(driver, made, QStringLiteral("Identifier"), QStringLiteral("TElement_IdentifierInMethod"));
    TypeInto(driver, call + QStringLiteral("/TIdentifierField"), QStringLiteral("FCurrent.Play"));
    // ... and learns its playlist: the playlist itself (Self).
    const QString told = AddStatement(driver, made, QStringLiteral("Identifier"),
                                      QStringLiteral("TElement_IdentifierInMethod[1]"));
    TypeInto(driver, told + QStringLiteral("/TIdentifierField"), QStringLiteral("FCurrent.Attach"));
    driver.Focus(told + QStringLiteral("/TIdentifierParameterValues/TIdentifierParameterValue"));
    driver.MustApply(QStringLiteral("Self"));

    // MaxVolume, a read-only class property: its setter is emptied.
    const QString most = AddMember(driver, 1, QStringLiteral("Property"), QStringLiteral("TElement_Property[1]"));
    Retype(driver, most + QStringLiteral("/TPropertyNameField"), QStringLiteral("MaxVolume"));
    Retype(driver, most + QStringLiteral("/TFieldTypeField"), QStringLiteral("int"));
    driver.Focus(most);
    driver.MustApply(QStringLiteral("Without Instance"));
    TypeInto(driver, most + QStringLiteral("/TCommandsContainerWithResult/TElement_Return/TExpressionField"),
             QStringLiteral("100"));
    driver.Focus(most + QStringLiteral("/TCommandsContainer"));
    driver.SelectAll();
    driver.Key(vkDelete);

    // Reset: inside the locker, the volume and the count set through their setters.
    const QString reset = AddMember(driver, 1, QStringLiteral("Method"), QStringLiteral("TElement_Method"));
    Retype(driver, reset + QStringLiteral("/TIdentifierNameField"), QStringLiteral("Reset"));
    const QString body = reset + QStringLiteral("/TCommandsContainerWithResult");
    const QString locked =
        AddStatement(driver, body, QStringLiteral("In Lock"), QStringLiteral("TElement_InDoubleMethod"));
    TypeInto(driver, locked + QStringLiteral("/TDoubleMethodReferenceField"), QStringLiteral("Update"));
    const QString inside = locked + QStringLiteral("/TCommandsContainer");
    // The volume after the reset: the first mark, read by its index.
    const QString first = AddStatement(driver, inside, QStringLiteral("Let"), QStringLiteral("TElement_Let[0]"));
    TypeInto(driver, first + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Volume"));
    driver.Focus(first + QStringLiteral("/TExpressionField[1]"));
    driver.MustApply(QStringLiteral("Identifier"));
    const QString mark = first + QStringLiteral("/TExpressionField[1]/TElement_IdentifierInExpression");
    TypeInto(driver, mark + QStringLiteral("/TIdentifierField"), QStringLiteral("Marks"));
    TypeInto(driver, mark + QStringLiteral("/TIdentifierParameterValues/TIdentifierParameterValue"),
             QStringLiteral("0"));
    const QString empty = AddStatement(driver, inside, QStringLiteral("Let"), QStringLiteral("TElement_Let[1]"));
    TypeInto(driver, empty + QStringLiteral("/TExpressionField[0]"), QStringLiteral("Count"));
    TypeInto(driver, empty + QStringLiteral("/TExpressionField[1]"), QStringLiteral("0"));
}

#endif
