#include "share/site_check.h"

#include <QTextStream>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"
#include "share/designed_waits.h"
#include "site/pump_wait.h"
#include "site/time_scale.h"

namespace quillet {
namespace {

const QString kLinks = QStringLiteral("links");
const QString kTextBoxes = QStringLiteral("textBoxes");
const QString kButtons = QStringLiteral("buttons");

void waitForPage(BrowserControl& browser) {
  IndexedPage page;
  page.waitUntilComplete(
      &browser, std::max(10, static_cast<int>(std::lround(kStartPageLoadLimitMs * timeScale()))));
}

QString quoted(const QString& text) {
  return u'\'' + text.simplified() + u'\'';
}

// A link target as the user would recognise it: the path alone on the site
// itself, the whole address elsewhere.
QString target(const QString& href, const SiteProfile& profile) {
  const QUrl url(href);
  const QUrl site(profile.siteBase);
  if (!url.isValid() || url.scheme() != site.scheme() || url.host() != site.host() ||
      url.port() != site.port()) {
    return href;
  }
  QString shown = url.path(QUrl::FullyDecoded);
  if (shown.isEmpty()) shown = QStringLiteral("/");
  if (url.hasQuery()) shown += u'?' + url.query(QUrl::FullyDecoded);
  if (url.hasFragment()) shown += u'#' + url.fragment(QUrl::FullyDecoded);
  return shown;
}

QString linkDescription(const QString& text, const QString& href, const SiteProfile& profile) {
  return quoted(text) + QLatin1String(" -> ") + target(href, profile);
}

// What finding the share link looked for, as "no link contains '分享宝贝'".
QString nothingFound(const SiteProfile& profile) {
  const QString key = quoted(profile.shareLinkText);
  switch (profile.shareLinkMode) {
    case 0:
      return QLatin1String("no element has the id ") + key;
    case 1:
      return QLatin1String("no element is named ") + key;
    case 2:
      return QLatin1String("there is no link number ") + key;
    case 3:
      return QLatin1String("no link contains ") + key;
    case 4:
      return QLatin1String("no link address contains ") + key;
    default:
      return QLatin1String("link mode ") + QString::number(profile.shareLinkMode) +
             QLatin1String(" finds nothing");
  }
}

QString buttonLabel(const IndexedPage& page, int position) {
  QString label = page.elementProperty(kButtons, position, QStringLiteral("value"));
  if (label.trimmed().isEmpty()) {
    label = page.elementProperty(kButtons, position, QStringLiteral("innerText"));
  }
  return label;
}

QString only(int found, const char* what) {
  return QStringLiteral("the page has only %1 %2").arg(found).arg(QLatin1String(what));
}

}  // namespace

int runSiteCheck(BrowserControl& browser, const SiteProfile& profile, QTextStream& out) {
  const auto line = [&out](const QString& text) { out << text << Qt::endl; };

  // The start page.
  const QString start = QLatin1String("start page ") + profile.logonUrl() + QLatin1String(": ");
  browser.navigate(profile.logonUrl());
  // The check waits as a share does, so that it sees each page as a share would.
  pumpWait(RowWaits::kStartPage);
  waitForPage(browser);
  if (browser.showsErrorPage()) {
    line(start + QLatin1String("the site could not be reached"));
    return kSiteCheckFailed;
  }
  if (browser.isLoading()) {
    line(start + QStringLiteral("still loading after %1 s").arg(kStartPageLoadLimitMs / 1000));
    return kSiteCheckFailed;
  }
  QString linkN;
  {
    IndexedPage page;
    if (!page.attach(&browser)) {
      line(start + QLatin1String("no page was shown"));
      return kSiteCheckFailed;
    }
    if (showsLoginForm(page)) {
      line(start + QLatin1String("shows the login form: not signed in"));
      return kSiteCheckSignedOut;
    }
    line(start + QLatin1String("ok"));

    // Link N of the start page.
    const int n = profile.startPageLink;
    const QString label = QStringLiteral("link %1").arg(n);
    const int links = page.count(kLinks);
    if (links < n) {
      line(label + QLatin1String(": the start page has only ") + QString::number(links) +
           QLatin1String(" links"));
      return kSiteCheckFailed;
    }
    linkN = label + QLatin1String(" is ") +
            linkDescription(page.elementProperty(kLinks, n, QStringLiteral("innerText")),
                            page.elementProperty(kLinks, n, QStringLiteral("href")), profile);
    line(linkN + QLatin1String(": ok"));
    page.clickLink(n);
  }
  pumpWait(RowWaits::kStartLink);
  waitForPage(browser);

  // The share link on the page that link N opened.
  {
    KeyedPage page;
    page.attach(&browser);
    const auto found = page.describeLinkByKey(profile.shareLinkText, profile.shareLinkMode);
    if (!found) {
      line(QLatin1String("share link: ") + linkN + QLatin1String("; ") + nothingFound(profile) +
           QLatin1String(" on that page"));
      return kSiteCheckFailed;
    }
    line(QLatin1String("share link ") + quoted(profile.shareLinkText) + QLatin1String(" is ") +
         linkDescription(found->text, found->href, profile) + QLatin1String(": ok"));
    page.clickLinkByKey(profile.shareLinkText, profile.shareLinkMode);
  }
  pumpWait(RowWaits::kShareDialog);
  waitForPage(browser);

  // The address field and its button, then an address that is no item.
  {
    IndexedPage page;
    page.attach(&browser);
    const int box = profile.addressBox;
    QString boxName = QStringLiteral("text box %1").arg(box);
    const int boxes = page.count(kTextBoxes);
    if (boxes < box) {
      line(boxName + QLatin1String(": ") + only(boxes, "text boxes"));
      return kSiteCheckFailed;
    }
    QString name = page.elementProperty(kTextBoxes, box, QStringLiteral("name"));
    if (name.isEmpty()) name = page.elementProperty(kTextBoxes, box, QStringLiteral("id"));
    if (!name.isEmpty()) boxName += QLatin1String(" is named ") + quoted(name);
    line(boxName + QLatin1String(": ok"));

    const int button = profile.addressSubmitButton;
    const QString buttonName = QStringLiteral("button %1").arg(button);
    const int buttons = page.count(kButtons);
    if (buttons < button) {
      line(buttonName + QLatin1String(": ") + only(buttons, "buttons"));
      return kSiteCheckFailed;
    }
    line(buttonName + QLatin1String(" is ") + quoted(buttonLabel(page, button)) +
         QLatin1String(": ok"));
    page.setTextBoxValue(box, QLatin1String(kSiteCheckAddress));
    page.clickButton(button);
  }
  pumpWait(RowWaits::kAddressAnswer);

  const QString notice = QLatin1String("wrong-link notice ") + quoted(profile.wrongLinkNotice) +
                         QLatin1String(" for ") + QLatin1String(kSiteCheckAddress);
  IndexedPage check;
  check.attach(&browser);
  if (!check.highlightText(profile.wrongLinkNotice)) {
    line(notice + QLatin1String(": the page does not show it"));
    return kSiteCheckFailed;
  }
  line(notice + QLatin1String(": ok"));
  return kSiteCheckPassed;
}

}  // namespace quillet
