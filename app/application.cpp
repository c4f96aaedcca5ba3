#include "app/application.h"

#include <QCheckBox>
#include <QCursor>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QWebEngineProfile>
#include <cstdio>

#include "app/address_list_menu.h"
#include "app/balloon_tip.h"
#include "app/clickable_label.h"
#include "app/contact_info.h"
#include "app/current_row_view.h"
#include "app/list_actions.h"
#include "app/login_flow.h"
#include "app/main_window.h"
#include "app/pass_title.h"
#include "app/qt_dialogs.h"
#include "app/share_messages.h"
#include "app/splash_window.h"
#include "app/status_tally_label.h"
#include "app/widget_share_settings.h"
#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "browser/cookie_bridge.h"
#include "browser/indexed_page.h"
#include "journal/data_folder_lock.h"
#include "share/pass_notices.h"
#include "share/row_pacing.h"
#include "share/run_tally.h"
#include "share/share_engine.h"
#include "share/share_journal.h"
#include "share/share_preferences.h"
#include "signin/remembered_account.h"
#include "signin/session_note.h"

namespace quillet {
namespace {

// How long start-up waits for the login page before it leaves the first
// captcha to the first press of 登录. A network limit: not scaled.
constexpr int kLoginPageLimitMs = 30'000;

}  // namespace

Application::Application(const AppConfig& config, Dialogs* dialogs, QObject* parent)
    : QObject(parent), config_(config) {
  profile_ = config_.profile;
  profile_.siteBase = config_.siteBase;
  if (dialogs == nullptr) {
    ownDialogs_ = std::make_unique<QtDialogs>();
    dialogs = ownDialogs_.get();
  }
  dialogs_ = dialogs;

  // One Quillet per data folder, and the lock comes first: a second window
  // must not touch the browser profile (its session is the running one's)
  // or the site before it is turned away.
  lock_ = std::make_unique<DataFolderLock>(stateDir());
  // A folder that cannot be written cannot be shared either: the journal
  // says what that means when it fails to open, and the program goes on.
  if (!lock_->tryLock() && lock_->heldByAnother()) {
    lockedOut_ = true;
    return;
  }

  // The browser's cookies and site storage belong with the program's state,
  // not in the engine's default folder; set before any page uses the profile.
  if (!config_.stateDir.isEmpty()) BrowserControl::keepSessionIn(config_.stateDir);

  // The captcha download must travel with the browser's session on the site:
  // bridge the cookie stores before the browser loads its first page, since
  // the browser reports cookies only as they arrive.
  CookieBridge::ensureFor(BrowserControl::defaultProfile());
  window_ = std::make_unique<MainWindow>(profile_.siteBase);
  MainWindow& w = *window_;
  w.commentPool->clear();
  w.commentPool->addItems(profile_.comments);
  account_ = std::make_unique<RememberedAccount>(config_.dataDir);
  account_->keepPasswordInKeyring(profile_.siteBase,
                                  [label = w.statusParts[1]](const QString& text) {
                                    label->setText(text);
                                    label->setToolTip(text);  // a long path may not fit
                                  });

  shareSettings_ =
      std::make_unique<WidgetShareSettings>(w.period, w.loopSharing, w.addComment, w.commentPool);
  if (ownDialogs_) ownDialogs_->setParent(&w);
  sitePage_ = browserSitePage(w.browser);
  share_ =
      std::make_unique<ShareEngine>(*w.addressList, *shareSettings_, sitePage_.get(), profile_);
  showShareMessages(*share_, *dialogs_);
  journal_ = std::make_unique<ShareJournal>(*w.addressList, share_->failedAddresses(), *share_);
  showJournalProblems(*journal_, *dialogs_);
  listActions_ = std::make_unique<ListActions>(*w.addressList, *dialogs_);
  passTitle_ = std::make_unique<PassTitle>(*share_, *w.addressList, *shareSettings_);
  runTally_ = std::make_unique<RunTally>(*share_, *w.addressList, *shareSettings_);
  notices_ = std::make_unique<PassNotices>(*share_, *w.addressList,
                                           QStringLiteral("请重新登录，分享会从这一行继续"));
  tallyLabel_ = new StatusTallyLabel(w.statusParts[1]);
  restorePreferences();

  LoginControls login;
  login.userName = w.userName;
  login.password = w.password;
  login.captcha = w.captcha;
  login.captchaPicture = w.captchaPicture;
  login.remember = w.remember;
  login.hint = w.loginHint;
  login.tabs = w.tabs;
  login.browserWindow = w.browser;
  login_ = std::make_unique<LoginFlow>(login, profile_, *account_);

  bindEvents();
}

Application::~Application() = default;

void Application::bindEvents() {
  MainWindow& w = *window_;
  connect(w.loginButton, &QPushButton::clicked, login_.get(), &LoginFlow::onLoginClicked);
  connect(w.importButton, &QPushButton::clicked, share_.get(),
          [this] { importThroughDialog(*share_, *dialogs_); });
  connect(w.publishButton, &QPushButton::clicked, share_.get(), &ShareEngine::publish);
  connect(w.resendButton, &QPushButton::clicked, share_.get(),
          [this] { share_->resend(askBeforeResend(*dialogs_)); });
  bindShareReports();
  listMenu_ = new AddressListMenu(&w, w.addressView, w.statusParts[1], *share_, *listActions_,
                                  share_->failedAddresses());
  // With --account every title names the account: "Quillet (NAME)…".
  const auto titled = [name = config_.accountName](const QString& title) {
    if (name.isEmpty() || !title.startsWith(QLatin1String("Quillet"))) return title;
    return QString(title).insert(7, QStringLiteral(" (%1)").arg(name));
  };
  w.setWindowTitle(titled(w.windowTitle()));
  connect(passTitle_.get(), &PassTitle::titleChanged, &w,
          [&w, titled](const QString& title) { w.setWindowTitle(titled(title)); });
  // The site ended the session during a pass: the sign-in page comes back,
  // and a successful 登录 lets the pass go on at the row it held at.
  connect(share_.get(), &ShareEngine::holdStarted, login_.get(), [this](const JournalHold& hold) {
    if (hold.kind == HoldKind::SignedOut) login_->askAgain(LoginFlow::sessionEndedText());
  });
  connect(login_.get(), &LoginFlow::signedIn, share_.get(), &ShareEngine::signedIn);
  connect(w.contactLabel, &ClickableLabel::leftPressed, this, &Application::onContactLabelPressed);
  connect(w.updateLabel, &ClickableLabel::leftPressed, this, &Application::onUpdateLabelPressed);
}

void Application::bindShareReports() {
  MainWindow& w = *window_;
  connect(share_.get(), &ShareEngine::progressText, w.statusParts[1], &QLabel::setText);
  connect(share_.get(), &ShareEngine::importedText, w.statusParts[2], &QLabel::setText);
  connect(share_.get(), &ShareEngine::commentChosen, w.commentPool,
          qOverload<int>(&QListWidget::setCurrentRow));
  // What the period gives, as a run starts; the progress follows.
  connect(share_.get(), &ShareEngine::passStarted, this, [this] {
    if (runTally_->round() == 1 && share_->pass())
      window_->statusParts[1]->setText(pacingText(share_->pass()->settings.periodSeconds));
  });
  connect(runTally_.get(), &RunTally::textChanged, tallyLabel_, &StatusTallyLabel::setFullText);
  followCurrentRow(*share_, w.addressView);
  FailedAddresses& failed = share_->failedAddresses();
  connect(&failed, &FailedAddresses::changed, w.failedList, [&failed, list = w.failedList] {
    list->clear();
    list->addItems(failed.addresses());
  });
}

void Application::restorePreferences() {
  MainWindow& w = *window_;
  const SharePreferences saved = loadSharePreferences(config_.dataDir);
  w.period->setText(saved.period);
  w.loopSharing->setChecked(saved.loopSharing);
  w.addComment->setChecked(saved.addComment);
  listActions_->setExportFolder(saved.exportFolder);
  // Every change is written at once: closing the window ends the process
  // without a shutdown.
  connect(w.period, &QLineEdit::textChanged, this, &Application::rememberPreferences);
  connect(w.loopSharing, &QCheckBox::toggled, this, &Application::rememberPreferences);
  connect(w.addComment, &QCheckBox::toggled, this, &Application::rememberPreferences);
  listActions_->setOnExported([this](const QString& path) {
    window_->statusParts[1]->setText(ListActions::exportedText(path));
    rememberPreferences();
  });
}

void Application::rememberPreferences() {
  MainWindow& w = *window_;
  SharePreferences now;
  now.period = w.period->text();
  now.loopSharing = w.loopSharing->isChecked();
  now.addComment = w.addComment->isChecked();
  now.exportFolder = listActions_->exportFolder();
  saveSharePreferences(config_.dataDir, now);
}

QString Application::stateDir() const {
  return config_.stateDir.isEmpty() ? config_.dataDir : config_.stateDir;
}

bool Application::lockDataFolder() {
  if (!lockedOut_) return true;
  const QString text = lock_->errorText();
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
  dialogs_->warning(defaultMessageTitle(), text);
  return false;
}

void Application::onMainWindowCreated() {
  MainWindow& w = *window_;
  {
    SplashWindow splash(&w);
    splash.exec();
  }
  // The list as the last session left it, before anything else can change it.
  const QString imported = journal_->openAndRestore(stateDir());
  if (!imported.isEmpty()) w.statusParts[2]->setText(imported);

  account_->ensureFiles();
  w.userName->setText(account_->userName());
  w.password->setText(account_->password());
  // An account remembered last time stays remembered unless the user unticks it.
  w.remember->setChecked(!w.userName->text().isEmpty());

  {
    IndexedPage page;
    page.waitUntilComplete(w.browser);
    w.browser->navigate(profile_.logoutUrl());
    page.waitUntilComplete(w.browser);
    noteSession(false);
    w.browser->navigate(profile_.logonUrl());
    // A site that wants a captcha refuses a sign-in without one: the first
    // picture is shown before the first press of 登录, in the session of the
    // login page, so the page must be there first.
    page.waitUntilComplete(w.browser, kLoginPageLimitMs);
    if (!w.browser->isLoading()) login_->refreshCaptcha();
  }

  share_->resetRunState();
  const QString interrupted = journal_->resumeRunState();
  if (!interrupted.isEmpty()) {
    w.statusParts[1]->setText(interrupted);
    // The interrupted pass's settings, so that "发表" goes on as it ran.
    if (const JournalPass* pass = share_->pass()) shareSettings_->apply(pass->settings);
  }
}

void Application::onContactLabelPressed() {
  window_->balloon->showHtml(contactHtml(), QCursor::pos());
}

void Application::onUpdateLabelPressed() {
  QDesktopServices::openUrl(QUrl(updatePageAddress()));
}

}  // namespace quillet
