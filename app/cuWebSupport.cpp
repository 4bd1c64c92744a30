#include "app/cuWebSupport.h"

#include "app/unGlobal.h"
#include "app/unSettings.h"
#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

// The maker's application-information file.
constexpr char kInfoUrl[] = "https://www.quillane.org/appinfo/quillane.txt";
constexpr char kLangPlaceholder[] = "%lang%";
// How much of the file's own text a message shows.
constexpr int kMaxVersionsShown = 200;

TServiceSlot<const TWebEndpoint>& EndpointSlot() {
    static TServiceSlot<const TWebEndpoint> slot;
    return slot;
}

[[noreturn]] void RaiseNotFound() { throw Exception::FromId(strInformationAboutProgramNot); }

// The parameter of the grandchild section/name (name may be empty: the child itself); empty when missing.
QString ReadAt(TKnot& info, QStringView section, QStringView name, QStringView param) {
    TKnot* knot = info.FindChild(section);
    if (knot && !name.isEmpty()) knot = knot->FindChild(name);
    return knot ? knot->ReadStr(param) : QString();
}

// The address with its placeholders filled, when it is an http or https address.
QString PageUrl(TKnot& info, const QString& address, const QString& appLang) {
    if (address.isEmpty()) RaiseNotFound();
    QString result = address;
    if (result.contains(QLatin1String(kLangPlaceholder)))
        result.replace(QLatin1String(kLangPlaceholder),
                       QString::fromLatin1(QUrl::toPercentEncoding(GetWebLanguage(info, appLang))));
    const QUrl url(result, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        RaiseNotFound();
    return result;
}

TNodePtr<TKnot> DownloadApplicationInfo() { return ParseApplicationInfo(GetApplicationInfo()); }

}  // namespace

const TWebEndpoint& TWebEndpoint::Current() {
    static const TWebEndpoint own{QString::fromLatin1(kInfoUrl), {}};
    return EndpointSlot().Get(own);
}

const TWebEndpoint* TWebEndpoint::Install(const TWebEndpoint* endpoint) noexcept {
    return EndpointSlot().Install(endpoint);
}

TAppIdentity TAppIdentity::Current() {
    const TVersionInfo version =
        Global() ? Global()->VersionInfo() : ReadVersionInfo(QCoreApplication::applicationFilePath());
    return {QString(version.ProductName).remove(QLatin1Char(' ')), version.ProductVersion};
}

QString GetApplicationInfo() {
    const TWebEndpoint& endpoint = TWebEndpoint::Current();
    QByteArray bytes = DownloadUrl(endpoint.InfoUrl, endpoint.Limits);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) bytes.truncate(zero);
    return QString::fromUtf8(bytes);
}

TNodePtr<TKnot> ParseApplicationInfo(const QString& text) {
    TNodePtr<TKnot> info = TKnot::Create();
    info->LoadFromString(text);
    return info;
}

QString GetWebLanguage(TKnot& info, const QString& appLang) {
    TKnot* map = info.FindChild(u"AppLangToWebLang");
    if (!map) return {};
    for (TKnot* entry = map->GetFirstChild(); entry; entry = entry->GetNextSibling())
        if (entry->ReadStr(u"AppLang") == appLang) return entry->ReadStr(u"WebLang");
    return map->ReadStr(u"DefaultWebLang");
}

QString ApplicationPageUrl(TKnot& info, const QString& appId, const QString& pageKey, const QString& appLang) {
    if (appId.isEmpty()) RaiseNotFound();
    return PageUrl(info, ReadAt(info, u"Applications", appId, pageKey), appLang);
}

QString ResourcePageUrl(TKnot& info, const QString& key, const QString& appLang) {
    return PageUrl(info, ReadAt(info, u"Resources", {}, key), appLang);
}

void OpenApplicationPage(TKnot& info, const QString& appId, const QString& pageKey, const QString& appLang) {
    OpenURL(ApplicationPageUrl(info, appId, pageKey, appLang));
}

void ShowApplicationPage(const QString& pageKey, const QString& appLang) {
    TWaitScope wait;
    const TNodePtr<TKnot> info = DownloadApplicationInfo();
    OpenApplicationPage(*info, TAppIdentity::Current().AppId, pageKey, appLang);
}

void ShowResourcePage(const QString& appLang, const QString& key) {
    TWaitScope wait;
    const TNodePtr<TKnot> info = DownloadApplicationInfo();
    OpenURL(ResourcePageUrl(*info, key, appLang));
}

QStringList SplitVersionList(const QString& text) {
    QStringList entries;
    QString entry;
    bool quoted = false;
    const auto flush = [&] {
        if (!entry.trimmed().isEmpty()) entries.append(entry.trimmed());
        entry.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) entry += text[++i];
            else quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            flush();
        } else {
            entry += c;
        }
    }
    flush();
    return entries;
}

QString CurrentAppLanguage() { return Global() ? Global()->Settings().General()->Language()->Value() : QString(); }

void ShowProgramPage(const QString& pageKey) { ShowApplicationPage(pageKey, CurrentAppLanguage()); }

void CheckForUpdates() { CheckForUpdates(CurrentAppLanguage()); }

void CheckForUpdates(const QString& appLang) { CheckForUpdates(appLang, TAppIdentity::Current()); }

void CheckForUpdates(const QString& appLang, const TAppIdentity& identity) {
    TWaitScope wait;
    const TNodePtr<TKnot> info = DownloadApplicationInfo();
    if (identity.AppId.isEmpty()) RaiseNotFound();
    const QStringList versions = SplitVersionList(ReadAt(*info, u"Applications", identity.AppId, u"ActualVersions"));
    if (versions.isEmpty()) RaiseNotFound();
    for (const QString& version : versions)
        if (version.compare(identity.Version, Qt::CaseInsensitive) == 0) {
            ShowMessageBox(LoadStr(strExcellentYouHaveLatest), {}, MsgBox::Ok | MsgBox::IconInformation);
            return;
        }
    const QString offer = LoadStrFmt(strNewerVersionProgramAvailable,
                                     {PrintableExcerpt(versions.join(QLatin1Char(',')), kMaxVersionsShown),
                                      PrintableExcerpt(identity.Version)});
    if (ShowMessageBox(offer, {}, MsgBox::OkCancel | MsgBox::IconInformation) == MsgResult::Ok)
        OpenApplicationPage(*info, identity.AppId, QString::fromLatin1(WebPage::Download), appLang);
}
