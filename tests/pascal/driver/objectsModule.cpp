#include "pascal/driver/objectsModule.h"

#if QUILLANE_TEST_LAYER >= 7

#include "support/testProgram.h"

const TElementClass* ObjectsModuleRootClass() { return TElement_TestProgramRoot::StaticClass(); }
QString ObjectsModuleName() { return QStringLiteral("ProgramModule"); }

namespace {

// Paths of stored names: the n-th node of a name inside path ("" for the root).
QString At(const QString& path, const QString& name, int n = 0) {
    const QString step = QStringLiteral("%1[%2]").arg(name).arg(n);
    return path.isEmpty() ? step : path + u'/' + step;
}
QString Part(const QString& path, const char* name) { return path + u'/' + QLatin1String(name); }

void FocusAt(TSheetDriver& driver, const QString& path) {
    driver.Focus(path.isEmpty() ? driver.Root() : driver.StoredPlace(path));
}

// Replaces the text of the element at the stored path.
void Retype(TSheetDriver& driver, const QString& path, const QString& text) {
    FocusAt(driver, path);
    driver.SelectAll();
    driver.Type(text);
}

// Clicks the palette item with the element at path focused.
void ApplyAt(TSheetDriver& driver, const QString& path, const QString& caption, int occurrence = 0) {
    FocusAt(driver, path);
    driver.MustApply(caption, occurrence);
}

// Enter on the expand button at path: shows or hides what it controls.
void Toggle(TSheetDriver& driver, const QString& path) {
    FocusAt(driver, path);
    driver.Key(13);
}

// A new element of the palette item caption at the end of the text at path,
// stored as node (the n-th there), named; answers its path.
QString AddNamed(TSheetDriver& driver, const QString& text, const QString& caption, const QString& node, int n,
                 const QString& name) {
    ApplyAt(driver, text, caption);
    const QString element = At(text, node, n);
    if (!name.isEmpty()) Retype(driver, Part(element, "Name"), name);
    return element;
}

// An object at the end of the root with its parent (may be empty).
QString AddObject(TSheetDriver& driver, int n, const QString& name, const QString& parent) {
    const QString object = AddNamed(driver, QString(), QStringLiteral("Object"), QStringLiteral("Object"), n, name);
    if (!parent.isEmpty()) Retype(driver, Part(object, "Parent"), parent);
    return object;
}

QString Members(const QString& object) { return Part(object, "Content"); }

// A field (key "E") at the end of the text at path ("" for the root), named and typed.
QString AddField(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& type) {
    FocusAt(driver, text);
    driver.MustApplyKey(QStringLiteral("E"));
    const QString field = At(text, QStringLiteral("Field"), n);
    Retype(driver, Part(field, "Name"), name);
    Retype(driver, Part(field, "Type"), type);
    return field;
}

// A method (key "M") at the end of the text at path, named, with a result type (may be empty).
QString AddMethod(TSheetDriver& driver, const QString& text, int n, const QString& name, const QString& result) {
    FocusAt(driver, text);
    driver.MustApplyKey(QStringLiteral("M"));
    const QString method = At(text, QStringLiteral("Method"), n);
    Retype(driver, Part(method, "Name"), name);
    if (!result.isEmpty()) Retype(driver, Part(method, "ResultType"), result);
    return method;
}

// A parameter at the end of the list of the routine at path.
void AddParameter(TSheetDriver& driver, const QString& routine, int n, const QString& name, const QString& type) {
    ApplyAt(driver, routine, QStringLiteral("Parameter"));
    const QString parameter = At(Part(routine, "Parameters"), QStringLiteral("Field"), n);
    Retype(driver, Part(parameter, "Name"), name);
    Retype(driver, Part(parameter, "Type"), type);
}

// Typed at the end of the element at the stored path.
void TypeInto(TSheetDriver& driver, const QString& path, const QString& text) {
    FocusAt(driver, path);
    driver.Type(text);
}

// A statement of the caption at the end of the section at path (the n-th of its node there).
QString AddStatement(TSheetDriver& driver, const QString& section, const QString& caption, const QString& node, int n) {
    ApplyAt(driver, section, caption);
    return At(section, node, n);
}

}  // namespace

void BuildObjectsModule(TSheetDriver& driver) {
    // TShape: Abstract, with the class-of name TShapeClass.
    const QString shape = AddObject(driver, 0, QStringLiteral("TShape"), QString());
    ApplyAt(driver, shape, QStringLiteral("Abstract"));
    ApplyAt(driver, Part(shape, "ClassOfName"), QStringLiteral("Autoname"));
    const QString shapeMembers = Members(shape);
    AddField(driver, shapeMembers, 0, QStringLiteral("FSize"), QStringLiteral("int"));
    // Notifications of a resize wait while Update is locked.
    AddNamed(driver, shapeMembers, QStringLiteral("Locker"), QStringLiteral("Locker"), 0, QStringLiteral("Update"));
    const QString resize = AddNamed(driver, shapeMembers, QStringLiteral("Notification"), QStringLiteral("Notification"),
                                    0, QStringLiteral("OnResize"));
    Retype(driver, Part(resize, "Locker"), QStringLiteral("Update"));
    const QString change = AddNamed(driver, shapeMembers, QStringLiteral("Event"), QStringLiteral("Event"), 0,
                                    QStringLiteral("OnChange"));
    AddParameter(driver, change, 0, QStringLiteral("ASender"), QStringLiteral("object"));
    AddNamed(driver, shapeMembers, QStringLiteral("Double Method"), QStringLiteral("DoubleMethod"), 0,
             QStringLiteral("Paint"));
    // Area(AScale): float, private, which descendants may call and override.
    const QString area = AddMethod(driver, shapeMembers, 0, QStringLiteral("Area"), QStringLiteral("float"));
    AddParameter(driver, area, 0, QStringLiteral("AScale"), QStringLiteral("int"));
    ApplyAt(driver, area, QStringLiteral("Private"));
    ApplyAt(driver, area, QStringLiteral("Call"));
    ApplyAt(driver, area, QStringLiteral("Override"));
    // Count: int without an instance.
    const QString count = AddMethod(driver, shapeMembers, 1, QStringLiteral("Count"), QStringLiteral("int"));
    ApplyAt(driver, count, QStringLiteral("Without Instance"));
    // CreateSized(ASize), a constructor that sets the size.
    const QString create = AddNamed(driver, shapeMembers, QStringLiteral("Constructor"), QStringLiteral("Constructor"), 0,
                                    QStringLiteral("CreateSized"));
    AddParameter(driver, create, 0, QStringLiteral("ASize"), QStringLiteral("int"));
    const QString let = AddStatement(driver, Part(create, "Content"), QStringLiteral("Let"), QStringLiteral("Let"), 0);
    TypeInto(driver, Part(let, "LeftSide"), QStringLiteral("FSize"));
    TypeInto(driver, Part(let, "RightSide"), QStringLiteral("ASize"));
    // Construction and destruction sections, shown first: the count of shapes.
    Toggle(driver, Part(shape, "ConstructionExpanded"));
    Toggle(driver, Part(shape, "DestructionExpanded"));
    TypeInto(driver, Part(AddStatement(driver, Part(shape, "Construction"), QStringLiteral("Inc"), QStringLiteral("Inc"), 0), "Value"),
             QStringLiteral("FSize"));
    TypeInto(driver, Part(AddStatement(driver, Part(shape, "Destruction"), QStringLiteral("Dec"), QStringLiteral("Dec"), 0), "Value"),
             QStringLiteral("FSize"));

    // TLabel: Final, drawn by its owner.
    const QString label = AddObject(driver, 1, QStringLiteral("TLabel"), QString());
    ApplyAt(driver, label, QStringLiteral("Final"));
    AddMethod(driver, Members(label), 0, QStringLiteral("Draw"), QString());

    // TBox(TShape): a label as a sub-object, Area overridden, Grow calling
    // the parent's members.
    const QString box = AddObject(driver, 2, QStringLiteral("TBox"), QStringLiteral("TShape"));
    const QString boxMembers = Members(box);
    const QString caption = AddNamed(driver, boxMembers, QStringLiteral("Sub Object"), QStringLiteral("SubObject"), 0, QString());
    TypeInto(driver, Part(caption, "Type"), QStringLiteral("TLabel"));
    Retype(driver, Part(caption, "Name"), QStringLiteral("FCaption"));
    const QString override_ = AddNamed(driver, boxMembers, QStringLiteral("Override"), QStringLiteral("Override"), 0, QString());
    TypeInto(driver, Part(override_, "Method"), QStringLiteral("Area"));
    const QString grow = AddMethod(driver, boxMembers, 0, QStringLiteral("Grow"), QString());
    const QString lock = AddStatement(driver, Part(grow, "Content"), QStringLiteral("In Lock"), QStringLiteral("InDoubleMethod"), 0);
    TypeInto(driver, Part(lock, "DoubleMethod"), QStringLiteral("Update"));
    const QString measure = AddStatement(driver, Part(lock, "Content"), QStringLiteral("Identifier"), QStringLiteral("Identifier"), 0);
    TypeInto(driver, Part(measure, "Identifier"), QStringLiteral("Area"));
    // The value of AScale, reached through its class path (an empty value has no stored name of its own).
    driver.Focus(driver.Place(QStringLiteral("TElement_Object[2]/TObjectMembersContainer/TElement_Method/"
                                             "TCommandsContainerWithResult/TElement_InDoubleMethod/TCommandsContainer/"
                                             "TElement_IdentifierInMethod/TIdentifierParameterValues/"
                                             "TIdentifierParameterValue")));
    driver.Type(QStringLiteral("2"));
    const QString fire = AddStatement(driver, Part(grow, "Content"), QStringLiteral("Identifier"), QStringLiteral("Identifier"), 0);
    TypeInto(driver, Part(fire, "Identifier"), QStringLiteral("OnChange"));

    // TNotify, a method type of an object.
    ApplyAt(driver, QString(), QStringLiteral("Method Type"));
    Retype(driver, Part(At(QString(), QStringLiteral("MethodType")), "Name"), QStringLiteral("TNotify"));
    AddParameter(driver, At(QString(), QStringLiteral("MethodType")), 0, QStringLiteral("ASender"), QStringLiteral("object"));

    // TForm: a box of its own whose change it handles, and a handler of the method type.
    const QString form = AddObject(driver, 3, QStringLiteral("TForm"), QString());
    const QString formMembers = Members(form);
    const QString held = AddNamed(driver, formMembers, QStringLiteral("Sub Object"), QStringLiteral("SubObject"), 0, QString());
    TypeInto(driver, Part(held, "Type"), QStringLiteral("TBox"));
    Retype(driver, Part(held, "Name"), QStringLiteral("FBox"));
    const QString changed = AddNamed(driver, formMembers, QStringLiteral("Handler"), QStringLiteral("Handler"), 0, QString());
    TypeInto(driver, Part(changed, "Event"), QStringLiteral("TShape.OnChange"));
    ApplyAt(driver, Part(changed, "Name"), QStringLiteral("Autoname"));
    const QString notified = AddNamed(driver, formMembers, QStringLiteral("Handler"), QStringLiteral("Handler"), 1, QString());
    TypeInto(driver, Part(notified, "Event"), QStringLiteral("TNotify"));
    Retype(driver, Part(notified, "Name"), QStringLiteral("Notified"));

    // At unit level: the class of the shapes made by default, and their count.
    const QString kind = AddField(driver, QString(), 0, QStringLiteral("ShapeKind"), QStringLiteral("TShapeClass"));
    TypeInto(driver, Part(kind, "Value"), QStringLiteral("TBox"));
    const QString total = AddField(driver, QString(), 1, QStringLiteral("Total"), QStringLiteral("int"));
    TypeInto(driver, Part(total, "Value"), QStringLiteral("TShape.Count"));
    // Half of them, then the whole pairs among them: the two items captioned
    // "Dividing" (division, then integer division) told apart by their place.
    for (int n : {0, 1}) {
        const QString field = AddField(driver, QString(), 2 + n, n ? QStringLiteral("Pairs") : QStringLiteral("Half"),
                                       n ? QStringLiteral("int") : QStringLiteral("float"));
        ApplyAt(driver, Part(field, "Value"), QStringLiteral("Dividing"), n);
        const QString division = Part(Part(field, "Value"), "Operation");
        TypeInto(driver, Part(division, "LeftSide"), QStringLiteral("Total"));
        TypeInto(driver, Part(division, "RightSide"), QStringLiteral("2"));
    }
}

#endif
