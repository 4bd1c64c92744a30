// Data elements: loading, the scaled preview and its hint, the hex dump,
// stored values, format conversion with its warning and undo, icons built
// from the full-size image, the clipboard (also the offscreen one and a
// comment's paste), and external editing with the fake shell and dialogs:
// the file beside the scheme, "Apply", "Cancel", undo, and the files and
// programs it must never touch.

#include "elements/diDataElement.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "core/umIcon.h"
#include "elements/diDataElementUtils.h"
#include "elements/diTitled.h"
#include "platform/plClipboard.h"
#include "platform/plDialogs.h"
#include "platform/plShell.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "support/testEnvironment.h"
#include "support/testElements.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"
#include "support/testVisualElements.h"

#include <QMimeDatabase>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A box that holds data elements and comments.
class TElement_DataHolder : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_DataHolder)
public:
    void FillAcceptedClasses(TElementClassList& list) override {
        TElement_TestBox::FillAcceptedClasses(list);
        list << TElement_Image::StaticClass() << TCustomCommentElement::StaticClass();
    }
};
T_ELEMENT_CLASS_IMPL(TElement_DataHolder, TElement_TestBox)

namespace {

QByteArray PngOf(int width, int height, QColor color = Qt::darkCyan) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "png").write(image));
    return buffer.data();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets an environment variable for its lifetime.
class DataElements : public ::testing::Test, public TSheetFixture {
protected:
    DataElements() : TSheetFixture(TElement_DataHolder::StaticClass()) {}
    ~DataElements() override {
        TExternalEditorSettings* bitmaps = DataElementSettings()->Bitmaps();
        bitmaps->DefaultAction()->SetIndex(eaAssociation);
        bitmaps->CustomEditor()->SetValue(QString());
    }

    TElement_Image* Add(const QByteArray& data = {}, const QString& type = {}) {
        auto* image = TElement::CreateIn<TElement_Image>(scheme.get(), root);
        image->SetVisualParent(root);
        image->SetData(data, type);
        Layout();
        return image;
    }
    // An image element read from stored attributes into a scheme of its own.
    TElement_Image* Load(const QString& attributes, TElementMessages* loadMessages = nullptr) {
        others.push_back(std::make_unique<TScheme>(TElement_DataHolder::StaticClass(), "TestModule"));
        others.back()->SetUndoRedo(&history);
        LoadSchemeKnot(others.back().get(), KnotFromText("<TestModule><Image " + attributes + "/></TestModule>").get(),
                       fmFile, loadMessages);
        return dynamic_cast<TElement_Image*>(others.back()->Root()->FirstChild());
    }
    static QString MessageTexts(const TElement* element) {
        QStringList texts;
        for (int i = 0; element->Messages() && i < element->Messages()->GetCount(); ++i)
            texts << element->Messages()->GetItem(i)->GetText();
        return texts.join(QLatin1Char('|'));
    }
    static QString Hint(TElement_Image* image) {
        QString hint;
        image->GetHint(hint);
        return hint;
    }
    static QSize ImageSize(TElement_Image* image) {
        int width = 0, height = 0;
        return image->GetImageSize(width, height) ? QSize(width, height) : QSize();
    }

    TEnglishTexts english;
    QTemporaryDir temp;  // the temporary folder of the tests
    TEnvironmentScope tempInstalled{"TMPDIR", temp.path().toLocal8Bit()};
    QTemporaryDir folder;  // the folder of a saved scheme
    std::vector<std::unique_ptr<TScheme>> others;
    TFakeShell shell;
    TShellInstaller shellInstalled{&shell};
    TFakeDialogs dialogs;
    TDialogsInstaller dialogsInstalled{&dialogs};
    TFakeClipboard clipboard;
    TClipboardInstaller clipboardInstalled{&clipboard};
};

// ---------------------------------------------------------------------------
// Data, preview and storage

TEST_F(DataElements, LoadedWidePngShownAtAQuarterWithItsSizeAndScaleInTheHint) {
    const QString path = folder.filePath("Picture.PNG");
    const QByteArray png = PngOf(2000, 300);
    ASSERT_TRUE(WriteTestFile(path, png));
    TElement_Image* image = Add();
    image->LoadFromFile(path);
    EXPECT_EQ(image->Data(), png);
    EXPECT_EQ(image->DataType(), "png");
    EXPECT_EQ(image->Preview().size(), QSize(500, 75));
    const TRect pad = image->GetPadding();
    EXPECT_EQ(image->Width(), 500 + pad.Left + pad.Right);
    EXPECT_TRUE(Hint(image).endsWith("png 2000x300 25%")) << Hint(image).toStdString();
    image->SetData(PngOf(700, 10), "png");
    EXPECT_TRUE(Hint(image).endsWith("png 700x10")) << Hint(image).toStdString();
    history.Undo();
    EXPECT_FALSE(image->IsFilled());
}

TEST_F(DataElements, HexDumpRowsOfNonImageData) {
    QByteArray data;
    for (int i = 0; i < 20; ++i) data += char(i * 13);
    data[1] = 'A';
    const QString row0 = TCustomDataElement::HexDumpRow(data, 0);
    ASSERT_EQ(row0.size(), 64);
    EXPECT_EQ(row0.left(12), "00 41 1A 27 ");
    EXPECT_EQ(row0.mid(48, 4), QString("\u00B7A\u00B7'"));
    const QString row1 = TCustomDataElement::HexDumpRow(data, 1);
    EXPECT_EQ(row1.mid(12), QString(52, QLatin1Char(' ')).replace(36, 4, row1.mid(48, 4)));
    TElement_Image* element = Add(data, "bin");
    EXPECT_TRUE(element->Preview().isNull());
    EXPECT_TRUE(Hint(element).endsWith("bin")) << Hint(element).toStdString();
}

TEST_F(DataElements, ValueRoundTripsAsHexAndBadHexLoadsEmptyWithTheReadError) {
    const QByteArray bytes("\x00\x01\xFEzq", 5);
    Add(bytes, "dat");
    const QString text = SchemeText(scheme.get());
    EXPECT_TRUE(text.contains("Type=\"dat\"") && text.contains("Value=\"0001FE7A71\"")) << text.toStdString();
    for (const QString value : {"0001FE7A71", "0001F", "00GG"}) {
        TElementMessages loadMessages;
        TElement_Image* loaded = Load("Type=\"dat\" Value=\"" + value + "\"", &loadMessages);
        ASSERT_NE(loaded, nullptr);
        const bool good = value.size() == 10;
        EXPECT_EQ(loaded->Data(), good ? bytes : QByteArray()) << value.toStdString();
        EXPECT_EQ(loadMessages.GetCount() > 0 &&
                      loadMessages.GetItem(0)->GetText() == RemoveLinkBrackets(LoadStr(strDataReadErrorElement)),
                  !good);
    }
}

// A snapshot holds data of its own, never the element's buffer; a format
// outside the allowed set is reported.
TEST_F(DataElements, SnapshotsHoldAnOwnedCopyAndAFormatNotAllowedIsReported) {
    TElement_Image* image = Add(PngOf(10, 10), "png");
    TNodePtr<TKnot> knot = MakeNode<TKnot>();
    image->SaveToKnot(knot.get(), fmSnapshot, foSharedData);
    TKnotParam* value = knot->FindParam(QStringLiteral("Value"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Kind(), pkStream);
    EXPECT_EQ(knot->ReadInt(QStringLiteral("W"), 0), 10);
    EXPECT_TRUE(MessageTexts(image).isEmpty());
    image->SetAllowedFormats(kAllImageFormats & ~ImageFormatBit(ifPng));
    image->CheckAll();
    EXPECT_EQ(MessageTexts(image), RemoveLinkBrackets(LoadStr(strInvalidDataTypeElement)));
}

// The items an image shows in the palette: Edit, Apply and Cancel in "Edit",
// loading and saving among the actions, one format item per allowed format.
TEST_F(DataElements, PaletteItemsWithTheirCaptionsGroupsOrdersAndStates) {
    const TDataPaletteItems& items = DataPaletteItems();
    struct TRow {
        TPaletteItem* item;
        const char* caption;
        int hint, order;
        TNode* group;
        bool enabledWhenFilled;
    } rows[] = {
        {items.Edit, "Edit", strTemporaryFileWillCreated, 100, nullptr, true},
        {items.Apply, "Apply", strApplyResultWorkDone, 60, nullptr, false},
        {items.Cancel, "Cancel", strCancelEditingThirdParty, 30, nullptr, false},
        {items.LoadFromFile, "Load from File", strInsertDataFromAFile, 40, PaletteActionsGroup(), true},
        {items.SaveToFile, "Save to\u00A0File", strSaveDataToAFile, 30, PaletteActionsGroup(), true},
        {items.Bmp, "BMP", strSetImageFormatBMP, 80, nullptr, true},
        {items.Ico, "ICO", strSetImageFormatICO, 70, nullptr, true},
        {items.Cur, "CUR", strSetImageFormatCUR, 60, nullptr, true},
        {items.Png, "PNG", strSetImageFormatPNG, 90, nullptr, true},
        {items.Gif, "GIF", strSetImageFormatGIF, 82, nullptr, true},
        {items.Jpeg, "JPEG", strSetImageFormatJPEG, 85, nullptr, true},
    };
    auto* editGroup = dynamic_cast<TPaletteGroup*>(items.Edit->Parent());
    auto* formatGroup = dynamic_cast<TPaletteGroup*>(items.Png->Parent());
    ASSERT_TRUE(editGroup && formatGroup);
    EXPECT_EQ(editGroup->GetCaption(), "Edit");
    EXPECT_EQ(editGroup->Order(), 1500);
    EXPECT_EQ(formatGroup->GetCaption(), "Format");
    EXPECT_EQ(formatGroup->Order(), 100);
    TElement_Image* image = Add(PngOf(5, 5), "png");
    image->SetAllowedFormats(kAllImageFormats & ~ImageFormatBit(ifGif));
    QList<TPaletteItem*> offered;
    image->GetPaletteItems(offered);
    for (const TRow& row : rows) {
        EXPECT_EQ(row.item->GetCaption(), QString::fromUtf8(row.caption)) << row.caption;
        EXPECT_EQ(row.item->HintId(), row.hint) << row.caption;
        EXPECT_EQ(row.item->Order(), row.order) << row.caption;
        const bool formatItem = row.item->Parent() == formatGroup;
        EXPECT_EQ(row.item->Parent(), row.group ? row.group : formatItem ? formatGroup : editGroup) << row.caption;
        EXPECT_EQ(bool(row.item->Flags() & pifToggle), formatItem) << row.caption;
        EXPECT_EQ(offered.contains(row.item), row.item != items.Gif) << row.caption;
        TPaletteItemState state;
        image->GetItemState(row.item, state);
        EXPECT_EQ(state.Enabled, row.enabledWhenFilled) << row.caption;
        EXPECT_EQ(state.Checked, row.item == items.Png) << row.caption;
    }
}

// "Load from File" offers every image first, then each kind (equal kinds
// merged); "Save to File" offers the one type under its kind and writes the bytes.
TEST_F(DataElements, LoadAndSaveItemsOfferTheImageFiltersAndMoveTheRawBytes) {
    const QString source = folder.filePath("In.JPG"), target = folder.filePath("Out.png");
    ASSERT_TRUE(WriteTestFile(source, "\xFF\xD8 not quite a jpeg"));
    TElement_Image* image = Add();
    dialogs.FileAnswers = {QStringList{source}, QStringList{target}};
    image->ApplyPaletteItem(DataPaletteItems().LoadFromFile, {}, false);
    EXPECT_EQ(image->DataType(), "jpg");
    EXPECT_EQ(image->Data(), ReadAll(source));
    image->SetData(PngOf(3, 2), "png");
    image->ApplyPaletteItem(DataPaletteItems().SaveToFile, {}, false);
    EXPECT_EQ(ReadAll(target), image->Data());
    ASSERT_EQ(dialogs.FileDialogs.size(), 2u);
    const QStringList open = dialogs.FileDialogs[0].Params.Filter.split('|');
    ASSERT_GE(open.size(), 2);
    EXPECT_TRUE(open[0].startsWith("All Images") && open[1].startsWith("*.bmp;*.ico;*.cur;")) << open.join('|').toStdString();
    EXPECT_TRUE(open.contains("*.jpeg;*.jpg;*.jpe;*.jfif")) << open.join('|').toStdString();
    EXPECT_TRUE(open.contains("*.emf;*.wmf")) << "one Metafile entry";
    EXPECT_EQ(dialogs.FileDialogs[1].Params.Filter.split('|').value(1), "*.png");
    EXPECT_TRUE(dialogs.FileDialogs[1].Params.Filter.startsWith("PNG")) << dialogs.FileDialogs[1].Params.Filter.toStdString();
}

// Delete needs data and no external editing, copy needs data, paste no
// external editing; deleting is one undoable step.
TEST_F(DataElements, SheetCommandsFollowTheFilledAndEditingStates) {
    TElement_Image* image = Add();
    EXPECT_FALSE(image->CanDelete() || image->CanCopy());
    EXPECT_TRUE(image->CanPaste());
    const QByteArray png = PngOf(6, 6);
    image->SetData(png, "png");
    EXPECT_TRUE(image->CanDelete() && image->CanCopy());
    image->StartExternalEditing({});
    EXPECT_FALSE(image->CanDelete() || image->CanPaste());
    EXPECT_TRUE(image->CanCopy());
    image->CancelExternalEditing();
    image->DeleteContent();
    EXPECT_FALSE(image->IsFilled());
    history.Undo();
    EXPECT_EQ(image->Data(), png);
    EXPECT_EQ(image->DataType(), "png");
}

int g_dataBeeps = 0;

// Enter and a double click edit with the default program; with "None" the
// key goes on and the double click beeps.
TEST_F(DataElements, EnterAndDoubleClickStartTheDefaultEditingUnlessTheKindSaysNone) {
    const TBeepFunction previous = InstallBeep([] { ++g_dataBeeps; });
    TElement_Image* image = Add(PngOf(4, 4), "png");
    int key = vkReturn;
    image->KeyDown(key, {});
    EXPECT_EQ(key, vkNone);
    EXPECT_TRUE(image->IsExternalEditing());
    image->CancelExternalEditing();
    DataElementSettings()->Bitmaps()->DefaultAction()->SetIndex(eaNone);
    const int beeps = g_dataBeeps;
    key = vkReturn;
    image->KeyDown(key, {});
    EXPECT_EQ(key, vkReturn);
    image->DoubleClick();
    EXPECT_EQ(g_dataBeeps, beeps + 1);
    EXPECT_FALSE(image->IsExternalEditing());
    EXPECT_EQ(shell.Calls.size(), 1);
    InstallBeep(previous);
}

// ---------------------------------------------------------------------------
// Conversion

TEST_F(DataElements, PngToGifWarnsOnceAndUndoesByteForByteToBmpSilently) {
    const QByteArray png = PngOf(40, 30, Qt::red);
    TElement_Image* image = Add(png, "png");
    image->ChangeFormat(ifGif);
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, LoadStr(strSettingThisFormatCan));
    EXPECT_TRUE(image->DataType() == "gif" && image->Data().startsWith("GIF8"));
    history.Undo();
    EXPECT_EQ(image->Data(), png);
    EXPECT_EQ(image->DataType(), "png");
    image->ChangeFormat(ifBmp);
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_TRUE(image->Data().startsWith("BM"));
}

TEST_F(DataElements, IconsAndCursorsAreBuiltFromTheFullSizeImageAtMost256) {
    for (const int format : {ifIco, ifCur}) {
        TElement_Image* image = Add(PngOf(2000, 1000), "png");
        image->ChangeFormat(format);
        EXPECT_EQ(image->DataType(), ImageFormatExtension(format));
        QBuffer buffer;
        buffer.setData(image->Data());
        buffer.open(QIODevice::ReadOnly);
        TIconImage icon;
        icon.LoadFromStream(buffer);
        ASSERT_EQ(icon.Count(), 1);
        EXPECT_EQ(QSize(icon.Width(0), icon.Height(0)), QSize(256, 128));
        EXPECT_EQ(icon.IsCursor(), format == ifCur);
        EXPECT_EQ(QPoint(icon.Entry(0).HotSpotX, icon.Entry(0).HotSpotY), QPoint(0, 0));
    }
}

// ---------------------------------------------------------------------------
// Clipboard

// Element data through the fake clipboard (its bytes checked) and the
// application's own (offscreen) one.
TEST_F(DataElements, CopyAndPasteBetweenElementsKeepTypeAndBytes) {
    TQtClipboard qt;
    for (TClipboard* board : {static_cast<TClipboard*>(&clipboard), static_cast<TClipboard*>(&qt)}) {
        TClipboardInstaller installed(board);
        const QByteArray bytes = board == &qt ? PngOf(12, 8) : QByteArray("\x01\x02 not an image", 16);
        TElement_Image* source = Add(bytes, board == &qt ? "png" : "xyz");
        TElement_Image* target = Add();
        source->Copy();
        EXPECT_TRUE(TCustomDataElement::ClipboardHasImageData());
        ASSERT_TRUE(target->Paste());
        EXPECT_EQ(target->Data(), bytes);
        EXPECT_EQ(target->DataType(), source->DataType());
    }
    EXPECT_EQ(clipboard.FormatData(ClipboardFormat::BinaryDataType), QByteArray("x\0y\0z\0\0\0", 8));
    EXPECT_EQ(DecompressBytes(clipboard.FormatData(ClipboardFormat::BinaryData)), QByteArray("\x01\x02 not an image", 16));
    EXPECT_FALSE(clipboard.HasImage()) << "no picture of data that is no image";
    // An image goes along as a picture of its full size, not of the scaled preview.
    Add(PngOf(2000, 300), "png")->Copy();
    EXPECT_EQ(clipboard.Image().size(), QSize(2000, 300));
}

// A picture is stored as PNG, by an element and by a comment, which embeds
// an image element for it.
TEST_F(DataElements, PastedPictureIsStoredAsPngAlsoInAComment) {
    QImage picture(9, 7, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    clipboard.SetContent({std::nullopt, {}, picture});
    TElement_Image* image = Add();
    ASSERT_TRUE(image->Paste());
    EXPECT_EQ(image->DataType(), "png");
    EXPECT_EQ(ImageSize(image), QSize(9, 7));

    auto* comment = TElement::CreateIn<TCustomCommentElement>(scheme.get(), root);
    comment->SetVisualParent(root);
    Layout();
    comment->Focus();
    ASSERT_TRUE(comment->Paste());
    TElement_Image* pasted = nullptr;
    for (TNode* n = comment->FirstChild(); n && !pasted; n = n->NextSibling()) pasted = dynamic_cast<TElement_Image*>(n);
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->DataType(), "png");
}

// ---------------------------------------------------------------------------
// External editing

TEST_F(DataElements, EditingBesideTheSchemeThenApplyReadsTheChangesAndUndoReturnsToTheMode) {
    scheme->SetFileName(folder.filePath("Scheme.prm"));
    const QByteArray png = PngOf(20, 10);
    TElement_Image* image = Add(png, "png");
    image->StartExternalEditing({});
    const QString file = folder.filePath("File1.png");
    EXPECT_EQ(image->ExternalEditingFileName(), file);
    EXPECT_EQ(ReadAll(file), png);
    EXPECT_FALSE(QFileInfo(file).permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    EXPECT_EQ(MessageTexts(image), RemoveLinkBrackets(LoadStr(strElementModeEditingThird)));
    EXPECT_EQ(shell.Calls, QStringList{"Launch-Open|" + file + "|edit"});

    const QByteArray changed = PngOf(20, 10, Qt::yellow);
    ASSERT_TRUE(WriteTestFile(file, changed));
    image->ApplyExternalEditing();
    EXPECT_EQ(image->Data(), changed);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(image->IsExternalEditing());
    EXPECT_TRUE(MessageTexts(image).isEmpty());

    history.Undo();  // "Apply" is one step
    EXPECT_EQ(image->ExternalEditingFileName(), file);
    EXPECT_EQ(image->Data(), png);
    // Starting again writes the data the element holds now into the missing file.
    image->StartExternalEditing({});
    EXPECT_EQ(ReadAll(file), png);
    image->CancelExternalEditing();
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(image->IsExternalEditing());
}

TEST_F(DataElements, UnsavedSchemesEditInTheTemporaryFolderAndAnEmptyElementBecomesAGreyPng) {
    TElement_Image* image = Add();
    image->StartExternalEditing({});
    EXPECT_EQ(image->ExternalEditingFileName(), QDir(temp.path()).filePath("File1.png"));
    EXPECT_EQ(image->DataType(), "png");
    EXPECT_EQ(ImageSize(image), QSize(60, 40));
    TElement_Image* second = Add(PngOf(3, 3), "png");
    second->StartExternalEditing({});
    EXPECT_EQ(second->ExternalEditingFileName(), QDir(temp.path()).filePath("File2.png"));
}

// The result comes after the call returned; a failed launch shows and keeps
// the mode; "Apply" with the file gone keeps data and mode and says so.
TEST_F(DataElements, TheLaunchResultArrivesLaterAndNeitherAFailureNorAMissingFileEndsTheMode) {
    const QByteArray png = PngOf(4, 4);
    TElement_Image* image = Add(png, "png");
    shell.LaunchResults = {ShellResult::AccessDenied};
    image->StartExternalEditing({});
    EXPECT_EQ(shell.PendingLaunches(), 1);
    EXPECT_TRUE(dialogs.Boxes.empty() && image->IsExternalEditing());
    EXPECT_EQ(shell.FinishLaunches(), 1);
    EXPECT_EQ(dialogs.Boxes.size(), 1u);
    const QString file = image->ExternalEditingFileName();
    ASSERT_TRUE(QFile::remove(file));
    image->ApplyExternalEditing();
    EXPECT_TRUE(image->Data() == png && image->IsExternalEditing());
    ASSERT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[1].Text, LoadStrFmt(strExternalEditingFileUnreadable, {file}));
}

TEST_F(DataElements, ACraftedFileNameElsewhereIsNeverReadNorDeleted) {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("File1.png");
    const QString oddName = QDir(temp.path()).filePath("notes.txt");
    const QString link = QDir(temp.path()).filePath("File7.png");
    const QString nowhere = QDir(temp.path()).filePath("File8.png");
    ASSERT_TRUE(WriteTestFile(victim, "keep me") && WriteTestFile(oddName, "keep me too"));
    ASSERT_TRUE(QFile::link(victim, link) && QFile::link(elsewhere.filePath("gone"), nowhere));
    for (const QString& crafted : {victim, oddName, link, nowhere}) {
        TElement_Image* image = Load("Type=\"png\" Value=\"00\" ExternalEditingFileName=\"" + crafted + "\"");
        ASSERT_TRUE(image && image->IsExternalEditing());
        crafted == nowhere ? image->CancelExternalEditing() : image->ApplyExternalEditing();
        EXPECT_FALSE(image->IsExternalEditing()) << crafted.toStdString();
        EXPECT_EQ(image->Data(), QByteArray(1, '\0'));
    }
    EXPECT_EQ(ReadAll(victim), "keep me");
    EXPECT_EQ(ReadAll(oddName), "keep me too");
    EXPECT_TRUE(QFileInfo(link).isSymLink() && QFileInfo(nowhere).isSymLink());
    EXPECT_EQ(dialogs.Boxes.size(), 4u);
    EXPECT_TRUE(shell.Calls.isEmpty());
}

TEST_F(DataElements, DataThatWouldRunOpensOnlyWithAProgramTheUserChose) {
    for (const char* type : {"sh", "desktop"}) {
        TElement_Image* image = Add("#!/bin/sh\necho hi\n", QString::fromLatin1(type));
        image->StartExternalEditing({});
        const QFileInfo file(image->ExternalEditingFileName());
        EXPECT_EQ(file.suffix(), QString::fromLatin1(type));
        EXPECT_FALSE(file.isExecutable());
        image->CancelExternalEditing();
    }
    // The open-with choice was shown (and cancelled); nothing opened.
    EXPECT_FALSE(dialogs.TextsShown.Caption.isEmpty());
    EXPECT_TRUE(shell.Calls.isEmpty()) << shell.Calls.join(',').toStdString();
    TElement_Image* crafted = Add("data", "../x.sh");
    crafted->StartExternalEditing({});
    EXPECT_EQ(QFileInfo(crafted->ExternalEditingFileName()).suffix(), "xsh");
}

TEST_F(DataElements, ACustomEditorStartsWithTheFileAndAMissingOneIsNamed) {
    TExternalEditorSettings* bitmaps = DataElementSettings()->Bitmaps();
    bitmaps->DefaultAction()->SetIndex(eaCustomEditor);
    bitmaps->CustomEditor()->SetValue(folder.filePath("paint"));
    TElement_Image* image = Add(PngOf(4, 4), "png");
    try {
        image->StartExternalEditing({});
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Text(), "Specified external editor not found: \"" + folder.filePath("paint") + "\"");
    }
    EXPECT_TRUE(image->IsExternalEditing());
    ASSERT_TRUE(WriteTestFile(folder.filePath("paint"), "x"));
    image->StartExternalEditing({});
    EXPECT_EQ(shell.Calls, QStringList{"Start|" + folder.filePath("paint") + "|" + image->ExternalEditingFileName()});
}

// The Edit sub-items come from the association files of a made-up XDG tree;
// choosing one starts that application on the file.
TEST_F(DataElements, EditSubItemsListTheTypesApplicationsAndStartTheChosenOne) {
    QTemporaryDir xdg;
    QDir().mkpath(xdg.filePath("data/applications"));
    ASSERT_TRUE(WriteTestFile(xdg.filePath("data/applications/paint.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Paint\nExec=paint %f\n"));
    ASSERT_TRUE(WriteTestFile(xdg.filePath("data/applications/mimeinfo.cache"),
                              "[MIME Cache]\nimage/png=paint.desktop;\n"));
    // The shared MIME database is read once per process, from the XDG data folders of that moment: read it
    // before they point at the made-up tree, as a desktop session would have.
    ASSERT_TRUE(QMimeDatabase().mimeTypeForName(QStringLiteral("image/png")).isValid());
    const QByteArray none = xdg.filePath("none").toLocal8Bit();
    TEnvironmentScope data("XDG_DATA_HOME", xdg.filePath("data").toLocal8Bit()), dataDirs("XDG_DATA_DIRS", none),
        config("XDG_CONFIG_HOME", none), configDirs("XDG_CONFIG_DIRS", none);
    TElement_Image* image = Add();
    QList<std::pair<QString, QString>> items;
    DataPaletteItems().Edit->FillSubItems(image, items);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], std::make_pair(QString("Paint"), QString("paint.desktop")));
    EXPECT_EQ(items[1].first, "-");
    EXPECT_EQ(items[2].first, LoadStr(strOpenWith));
    DataPaletteItems().Edit->ApplySub(image, items[0].second);
    EXPECT_EQ(shell.Calls, QStringList{"App|paint.desktop|" + image->ExternalEditingFileName()});
}

}  // namespace
