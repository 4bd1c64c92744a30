#pragma once
// The program's web pages and the update check. Where the pages lie and which
// versions are current is read from one application-information file (knot
// text) that is downloaded anew for every request, under the wait cursor:
//   root
//     AppLangToWebLang DefaultWebLang=...   children: AppLang=ENU WebLang=en
//     Applications                          a child per program identifier:
//         OnlineHelpPage, HomePage, CommunityPage, ForumPage, DownloadPage
//         (addresses, "%lang%" stands for the web language), ActualVersions
//     Resources                             ThemesPage, ...
// Only http and https addresses from the file are opened; any other counts
// as missing.

#include "app/cuWeb.h"
#include "core/cuNode.h"
#include "platform/plInstaller.h"

#include <QString>
#include <QStringList>

class TKnot;

// Where the application-information file lies and how long its download may
// take; tests install their own.
struct TWebEndpoint {
    QString InfoUrl;
    TDownloadLimits Limits;

    // The installed endpoint, else the program's own.
    static const TWebEndpoint& Current();
    static const TWebEndpoint* Install(const TWebEndpoint* endpoint) noexcept;
};
using TWebEndpointInstaller = TInstaller<const TWebEndpoint>;

// The program as the file names it: the product name without spaces and the
// running version.
struct TAppIdentity {
    QString AppId;
    QString Version;

    // The running program's (the data module's version information while it
    // lives, else the program file's).
    static TAppIdentity Current();
};

// The page keys of the main form's help menu and of the settings pages.
namespace WebPage {
inline constexpr char OnlineHelp[] = "OnlineHelpPage";
inline constexpr char Home[] = "HomePage";
inline constexpr char Community[] = "CommunityPage";
inline constexpr char Forum[] = "ForumPage";
inline constexpr char Download[] = "DownloadPage";
inline constexpr char Themes[] = "ThemesPage";
}  // namespace WebPage

// The file as text: its bytes as UTF-8 up to the first zero byte.
QString GetApplicationInfo();
// The text as a knot tree; a text that does not parse gives what could be read.
TNodePtr<TKnot> ParseApplicationInfo(const QString& text);

// The "WebLang" of the first mapping whose "AppLang" is appLang exactly,
// else "DefaultWebLang".
QString GetWebLanguage(TKnot& info, const QString& appLang);
// The page's address with every "%lang%" replaced by the web language
// (percent-encoded). Raises string 2055 when the page is missing or its
// address is not an http or https address.
QString ApplicationPageUrl(TKnot& info, const QString& appId, const QString& pageKey, const QString& appLang);
QString ResourcePageUrl(TKnot& info, const QString& key, const QString& appLang);
// Opens ApplicationPageUrl in the default web browser.
void OpenApplicationPage(TKnot& info, const QString& appId, const QString& pageKey, const QString& appLang);

// Downloads the file and opens the program's page (a WebPage key) or a resource page.
void ShowApplicationPage(const QString& pageKey, const QString& appLang);
void ShowResourcePage(const QString& appLang, const QString& key);
// The interface language the pages are asked for: the data module's
// "Language" (empty while it has none).
QString CurrentAppLanguage();
// The main form's help actions: the page in the current language.
void ShowProgramPage(const QString& pageKey);

// The entries of a comma-separated list, each trimmed; double quotes may
// enclose an entry (two of them inside stand for one). Empty entries are dropped.
QStringList SplitVersionList(const QString& text);

// Downloads the file and tells whether the running version is among the
// current ones; when it is not, OK on the message opens the download page.
// Raises string 2055 when the file names no versions for the program.
void CheckForUpdates(const QString& appLang);
void CheckForUpdates(const QString& appLang, const TAppIdentity& identity);
// The main form's "Check for Updates": in the current language.
void CheckForUpdates();
