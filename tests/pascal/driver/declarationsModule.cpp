#include "pascal/driver/declarationsModule.h"

#if QUILLANE_TEST_LAYER >= 7

#include "support/testProgram.h"

const TElementClass* DeclarationsModuleRootClass() { return TElement_TestProgramRoot::StaticClass(); }
QString DeclarationsModuleName() { return QStringLiteral("ProgramModule"); }

namespace {

// The n-th element of a class inside the element at path ("" for the root).
QString At(const QString& path, const char* cls, int n) {
    const QString step = QStringLiteral("%1[%2]").arg(QLatin1String(cls)).arg(n);
    return path.isEmpty() ? step : path + u'/' + step;
}
QString Part(const QString& path, const char* cls) { return path + u'/' + QLatin1String(cls); }

// Replaces the text of the element at path.
void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    driver.Focus(path);
    driver.SelectAll();
    driver.Type(text);
}

// Clicks the palette item of that caption with the element at path focused.
void ApplyAt(TSheetDriver& driver, const QString& path, const QString& caption) {
    if (path.isEmpty())
        driver.Focus(driver.Root());
    else
        driver.Focus(path);
    driver.MustApply(caption);
}

// A new element of the palette item caption at the end of the text at path,
// named: answers its path (the n-th of its class there).
QString AddNamed(TSheetDriver& driver, const QString& text, const QString& caption, const char* cls, int n,
                 const QString& name, const char* nameClass = "TIdentifierNameField") {
    ApplyAt(driver, text, caption);
    const QString element = At(text, cls, n);
    Retype(driver, Part(element, nameClass), name);
    return element;
}

// A field at the end of the text at path (key "E"), named and typed.
QString AddField(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& type) {
    if (text.isEmpty())
        driver.Focus(driver.Root());
    else
        driver.Focus(text);
    driver.MustApplyKey(QStringLiteral("E"));
    const QString field = At(text, "TElement_Field", n);
    Retype(driver, Part(field, "TFieldNameField"), name);
    Retype(driver, Part(field, "TFieldTypeField"), type);
    return field;
}

// A constant at the end of the text at path with a value typed (may be empty).
QString AddConstant(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& value) {
    const QString constant = AddNamed(driver, text, QStringLiteral("Constant"), "TElement_Constant", n, name);
    if (!value.isEmpty()) Retype(driver, Part(constant, "TExpressionField"), value);
    return constant;
}

QString ContentOfRecord(const QString& record) { return Part(record, "TRecordFieldsContainer"); }
QString ContentOfEnum(const QString& enumeration) { return Part(enumeration, "TEnumItemsContainer"); }

// An enumeration at the end of the text at path with its items and set-of name.
QString AddEnum(TSheetDriver& driver, const QString& text, int n, const QString& name, const QStringList& items,
                const QString& setOfName) {
    const QString enumeration = AddNamed(driver, text, QStringLiteral("Enumeration"), "TElement_Enum", n, name);
    for (int i = 0; i < items.size(); ++i)
        AddNamed(driver, ContentOfEnum(enumeration), QStringLiteral("Item"), "TElement_EnumItem", i, items[i]);
    Retype(driver, Part(enumeration, "TEnumSetOfNameField"), setOfName);
    return enumeration;
}

// An alias at the end of the text at path.
QString AddAlias(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& type) {
    const QString alias = AddNamed(driver, text, QStringLiteral("Alias"), "TElement_TypeAlias", n, name);
    Retype(driver, Part(alias, "TTypeAliasRefTypeField"), type);
    return alias;
}

// An array at the end of the text at path; bounds when given.
QString AddArray(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& type,
                 const QString& min = {}, const QString& max = {}) {
    ApplyAt(driver, text, QStringLiteral("Array"));
    const QString array = At(text, "TElement_Array", n);
    Retype(driver, Part(array, "TArrayTypeField"), type);
    if (!min.isEmpty()) {
        // The bounds show once one is edited.
        ApplyAt(driver, array, QStringLiteral("Bounds"));
        driver.Type(min);
        Retype(driver, Part(array, "TExpressionField[1]"), max);
    }
    Retype(driver, Part(array, "TArrayNameField"), name);
    return array;
}

// A pointer at the end of the text at path, named by its suggestion.
QString AddPointer(TSheetDriver& driver, const QString& text, int n, const QString& type) {
    ApplyAt(driver, text, QStringLiteral("Pointer"));
    const QString pointer = At(text, "TElement_Pointer", n);
    Retype(driver, Part(pointer, "TTypeReferenceField"), type);
    ApplyAt(driver, Part(pointer, "TPointerNameField"), QStringLiteral("Autoname"));
    return pointer;
}

// A value element of the palette item caption put into the value field at path.
QString PutValue(TSheetDriver& driver, const QString& field, const QString& caption, const char* cls) {
    ApplyAt(driver, field, caption);
    return Part(field, cls);
}

// A record at the end of the text at path with fields of the given names and types.
QString AddRecord(TSheetDriver& driver, const QString& text, int n, const QString& name,
                  const QList<std::pair<QString, QString>>& fields) {
    const QString record = AddNamed(driver, text, QStringLiteral("Record"), "TElement_Record", n, name);
    for (int i = 0; i < fields.size(); ++i) AddField(driver, ContentOfRecord(record), i, fields[i].first, fields[i].second);
    return record;
}

}  // namespace

void BuildDeclarationsModule(TSheetDriver& driver) {
    const QString root;
    AddNamed(driver, root, QStringLiteral("Use"), "TElement_Use", 0, QStringLiteral("SysUtils"));
    AddNamed(driver, root, QStringLiteral("Use"), "TElement_Use", 1, QStringLiteral("Classes"));

    // Constants built on constants, and one of every simple value element.
    AddConstant(driver, root, 0, QStringLiteral("Base"), QStringLiteral("10"));
    const QString limit = AddConstant(driver, root, 1, QStringLiteral("Limit"), QStringLiteral("Base"));
    ApplyAt(driver, limit, QStringLiteral("Description"));
    driver.Type(QStringLiteral("The last index"));
    AddConstant(driver, root, 2, QStringLiteral("Scale"), QStringLiteral("1.5e3"));
    const QString greeting = AddConstant(driver, root, 3, QStringLiteral("Greeting"), {});
    Retype(driver, PutValue(driver, Part(greeting, "TExpressionField"), QStringLiteral("String"), "TElement_String"),
           QStringLiteral("Hello, \"world\""));
    const QString ready = AddConstant(driver, root, 4, QStringLiteral("Ready"), {});
    driver.Focus(Part(ready, "TExpressionField"));
    driver.MustApplyKey(QStringLiteral("T"));
    const QString idle = AddConstant(driver, root, 5, QStringLiteral("Idle"), {});
    driver.Focus(Part(idle, "TExpressionField"));
    driver.MustApplyKey(QStringLiteral("N"));
    Retype(driver, Part(Part(Part(idle, "TExpressionField"), "TElement_Not"), "TExpressionField"), QStringLiteral("Ready"));
    const QString half = AddConstant(driver, root, 6, QStringLiteral("Half"), {});
    const QString toType = PutValue(driver, Part(half, "TExpressionField"), QStringLiteral("To Type"), "TElement_ToType");
    Retype(driver, Part(toType, "TExpressionField"), QStringLiteral("Limit"));
    Retype(driver, Part(toType, "TTypeReferenceField"), QStringLiteral("float"));

    // An enumeration whose items get the prefix of its name, and its set type.
    const QString kinds = AddEnum(driver, root, 0, QStringLiteral("TDocKind"),
                                  {QStringLiteral("fkNone"), QStringLiteral("fkFile"), QStringLiteral("fkFolder")},
                                  QStringLiteral("TDocKinds"));
    ApplyAt(driver, kinds, QStringLiteral("Generate Prefix"));

    // Aliases, records nested by their fields' types, arrays and a pointer.
    AddAlias(driver, root, 0, QStringLiteral("TCount"), QStringLiteral("int"));
    AddAlias(driver, root, 1, QStringLiteral("TTotal"), QStringLiteral("TCount"));
    AddRecord(driver, root, 0, QStringLiteral("TPair"),
              {{QStringLiteral("Left"), QStringLiteral("int")}, {QStringLiteral("Right"), QStringLiteral("str")}});
    AddArray(driver, root, 0, QStringLiteral("TNames"), QStringLiteral("str"), QStringLiteral("1"), QStringLiteral("Limit"));
    AddArray(driver, root, 1, QStringLiteral("TPairs"), QStringLiteral("TPair"));
    AddPointer(driver, root, 0, QStringLiteral("TPair"));
    AddRecord(driver, root, 1, QStringLiteral("TBook"),
              {{QStringLiteral("Pair"), QStringLiteral("TPair")},
               {QStringLiteral("Kinds"), QStringLiteral("TDocKinds")},
               {QStringLiteral("Names"), QStringLiteral("TNames")},
               {QStringLiteral("Next"), QStringLiteral("PPair")},
               {QStringLiteral("Total"), QStringLiteral("TTotal")}});
    AddConstant(driver, root, 7, QStringLiteral("BookSize"), {});
    Retype(driver,
           Part(PutValue(driver, Part(At(root, "TElement_Constant", 7), "TExpressionField"), QStringLiteral("Size Of"),
                         "TElement_SizeOf"),
                "TTypeReferenceField"),
           QStringLiteral("TBook"));

    // Typed variables: initial values, a visibility, access to private members.
    const QString count = AddField(driver, root, 0, QStringLiteral("Count"), QStringLiteral("TTotal"));
    ApplyAt(driver, count, QStringLiteral("Initial value"));
    driver.Type(QStringLiteral("Limit"));
    const QString kind = AddField(driver, root, 1, QStringLiteral("Kind"), QStringLiteral("TDocKind"));
    ApplyAt(driver, kind, QStringLiteral("Initial value"));
    driver.Type(QStringLiteral("dkFile"));
    ApplyAt(driver, kind, QStringLiteral("Public"));
    ApplyAt(driver, At(root, "TElement_Record", 1), QStringLiteral("Private"));
    AddField(driver, root, 2, QStringLiteral("Kinds"), QStringLiteral("TDocKinds"));
    const QString book = AddField(driver, root, 3, QStringLiteral("Book"), QStringLiteral("TBook"));
    ApplyAt(driver, book, QStringLiteral("Access"));
    const QString title = AddField(driver, root, 4, QStringLiteral("Title"), QStringLiteral("str"));
    ApplyAt(driver, title, QStringLiteral("Initial value"));
    Retype(driver, PutValue(driver, Part(title, "TExpressionField"), QStringLiteral("String"), "TElement_String"),
           QStringLiteral("Untitled"));
    AddField(driver, root, 5, QStringLiteral("Visible"), QStringLiteral("bool"));
    const QString ratio = AddField(driver, root, 6, QStringLiteral("Ratio"), QStringLiteral("float"));
    ApplyAt(driver, ratio, QStringLiteral("Initial value"));
    const QString choice =
        PutValue(driver, Part(ratio, "TExpressionField"), QStringLiteral("If Then Else"), "TElement_Fingers");
    Retype(driver, Part(choice, "TExpressionField[0]"), QStringLiteral("Visible"));
    Retype(driver, Part(choice, "TExpressionField[1]"), QStringLiteral("Scale"));
    Retype(driver, Part(choice, "TExpressionField[2]"), QStringLiteral("Half"));
    const QString first = AddField(driver, root, 7, QStringLiteral("First"), QStringLiteral("char"));
    ApplyAt(driver, first, QStringLiteral("Initial value"));
    driver.Type(QStringLiteral("Title"));
    const QString handler = AddField(driver, root, 8, QStringLiteral("Handler"), QStringLiteral("pointer"));
    ApplyAt(driver, handler, QStringLiteral("Initial value"));
    const QString routine =
        PutValue(driver, Part(handler, "TExpressionField"), QStringLiteral("Method"), "TElement_MethodInExpression");
    const QString body = Part(routine, "TCommandsContainerWithResult");
    ApplyAt(driver, body, QStringLiteral("Code"));
    Retype(driver, Part(At(body, "TElement_Code", 0), "TCodeContainer"), QStringLiteral("Count := 0;"));
}

void BuildLocalDeclarationsModule(TSheetDriver& driver) {
    const QString root;
    AddConstant(driver, root, 0, QStringLiteral("Base"), QStringLiteral("4"));
    AddField(driver, root, 0, QStringLiteral("Shared"), QStringLiteral("int"));
    driver.Focus(driver.Root());
    driver.MustApplyKey(QStringLiteral("M"));
    const QString method = At(root, "TElement_Method", 0);
    Retype(driver, Part(method, "TIdentifierNameField"), QStringLiteral("Run"));
    const QString body = Part(method, "TCommandsContainerWithResult");

    // Local declarations of every kind, typed by each other and by the unit's names.
    AddConstant(driver, body, 0, QStringLiteral("Steps"), QStringLiteral("Base"));
    AddEnum(driver, body, 0, QStringLiteral("TStep"), {QStringLiteral("Start"), QStringLiteral("Stop")},
            QStringLiteral("TSteps"));
    ApplyAt(driver, At(body, "TElement_Enum", 0), QStringLiteral("Generate Prefix"));
    AddAlias(driver, body, 0, QStringLiteral("TLimit"), QStringLiteral("int"));
    AddRecord(driver, body, 0, QStringLiteral("TState"),
              {{QStringLiteral("Step"), QStringLiteral("TStep")}, {QStringLiteral("Done"), QStringLiteral("TSteps")}});
    AddArray(driver, body, 0, QStringLiteral("TStates"), QStringLiteral("TState"), QStringLiteral("0"),
             QStringLiteral("Steps"));
    AddPointer(driver, body, 0, QStringLiteral("TState"));
    AddField(driver, body, 0, QStringLiteral("States"), QStringLiteral("TStates"));
    const QString limit = AddField(driver, body, 1, QStringLiteral("Limit"), QStringLiteral("TLimit"));
    ApplyAt(driver, limit, QStringLiteral("Initial value"));
    driver.Type(QStringLiteral("Shared"));
    AddField(driver, body, 2, QStringLiteral("Current"), QStringLiteral("PState"));
    ApplyAt(driver, body, QStringLiteral("Code"));
    Retype(driver, Part(At(body, "TElement_Code", 0), "TCodeContainer"), QStringLiteral("Shared := Limit;"));
}

#endif
