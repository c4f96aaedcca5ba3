#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "site/comment_pool.h"

namespace quillet {

/// Everything the program assumes about the share site's pages, in one place:
/// paths below the site's base address, element positions (1-based, within
/// the page object's typed collections), link texts, element names and the
/// notices read back from pages. The defaults fit the share site; a site
/// that moves its fields only needs a different profile, read from a TOML
/// file (site/profile_file.h).
struct SiteProfile {
  QString siteBase = QStringLiteral("http://127.0.0.1:8421");

  QString logonPath = QStringLiteral("/logon");
  QString logoutPath = QStringLiteral("/users/logout");
  QString captchaPath = QStringLiteral("/css/checkCode.php?");

  // Login form.
  int userNameBox = 2;
  int passwordBox = 3;
  int captchaBox = 4;
  int loginButton = 2;
  QString loginWrongAccountMark = QStringLiteral("错误");
  QString loginCaptchaMark = QStringLiteral("输入验证码");
  // Further notices of a wrong captcha. Like loginCaptchaMark they are looked
  // for before loginWrongAccountMark, which a captcha notice may contain too.
  QStringList loginCaptchaErrorMarks{QStringLiteral("验证码错误")};

  // Share flow.
  int startPageLink = 2;
  QString shareLinkText = QStringLiteral("分享宝贝");
  int shareLinkMode = 3;
  int addressBox = 2;
  int addressSubmitButton = 2;
  QString wrongLinkNotice = QStringLiteral("宝贝链接好像不对");
  QString commentFieldName = QStringLiteral("forwardContent");
  QString confirmElementName = QStringLiteral("forwardMaga");
  QString successMark = QStringLiteral("成功");

  // Holds of a pass when the site turns every share away. Texts that the page
  // shows after the confirm when the account shares too often; the minutes of
  // each mute hold in a row (the last one repeats); how long an unreachable
  // site is waited for before the pass gives up.
  QStringList muteMarks = {QStringLiteral("频繁"), QStringLiteral("禁言")};
  QList<double> muteHoldMinutes = {10, 20, 40, 60};
  double outageGiveUpMinutes = 120;

  // The texts that a random comment is drawn from (1 to kMaxComments).
  QStringList comments = commentPoolTexts();

  /// Every notice that means a wrong or missing captcha.
  QStringList captchaMarks() const {
    return loginCaptchaErrorMarks + QStringList{loginCaptchaMark};
  }

  QString logonUrl() const { return siteBase + logonPath; }
  QString logoutUrl() const { return siteBase + logoutPath; }
  QString captchaUrl() const { return siteBase + captchaPath; }

  bool operator==(const SiteProfile&) const = default;
};

}  // namespace quillet
