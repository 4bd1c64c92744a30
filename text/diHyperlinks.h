#pragma once
// Web and file addresses in rich text: finding the words that are links,
// giving them link attributes before a paragraph is laid out, and opening a
// link's target safely.
//
// Words are separated by TAB, space, the double quote, "<" and ">". A word of
// 7 to 2057 code units is a link when it begins with one of the schemes
// "http", "https", "ftp", "file", "url" (any case) followed by "://" or ":\"
// and at least one more character.

#include "text/diTextor.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>

class TParagraph;

// The shortest and the longest word that may be a link.
constexpr int kHyperlinkMinLength = 7;
constexpr int kHyperlinkMaxLength = 2057;
// The link kind of link text attributes.
constexpr int kHyperlinkKind = 1;

bool IsHyperlink(QStringView word);

// The attributes of a link to word.
using THyperlinkAttributesMaker = std::function<TTextAttributesRef(const QString& word)>;

// Every text run of the paragraph becomes plain text except its links, which
// get the attributes made for them; neighbouring text portions that end up
// with the same attributes are joined. Runs inside the textor's update
// bracket; answers whether portions were split, joined or freed.
bool MarkHyperlinks(TParagraph* paragraph, const THyperlinkAttributesMaker& make);

// What opening a link did.
enum class TLinkOpening : uint8_t {
    Address,  // a web or ftp address went to the browser
    File,     // a document opened with its program
    Folder,   // only the folder of the file opened
    Refused,  // nothing opened (a beep)
};

// Opens a link's target: "http", "https" and "ftp" through OpenURL (":\"
// read as "://"); a "file" link through ShellOpen only when it names an
// existing regular file that is not executable, not a ".desktop" file and not
// of an executable type, otherwise only its existing folder opens; anything
// else (a "url" link) only beeps.
TLinkOpening OpenHyperlink(const QString& target);

// Opens a local file by the same rule as a "file" link, without a beep: the
// file itself through ShellOpen only when it is a document (IsDocumentFile),
// otherwise the folder it names or the one that holds it, when that exists.
// Nothing raises.
TLinkOpening OpenLocalFile(const QString& path);
