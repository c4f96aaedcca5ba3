#pragma once

#include <QObject>
#include <memory>

#include "config/app_config.h"
#include "site/site_profile.h"

namespace quillet {

class AddressListMenu;
class DataFolderLock;
class Dialogs;
class SitePage;
class QtDialogs;
class ListActions;
class PassTitle;
class RunTally;
class StatusTallyLabel;
class ShareJournal;
class LoginFlow;
class PassNotices;
class MainWindow;
class RememberedAccount;
class ShareEngine;
class WidgetShareSettings;

/// Owns the main window and the routines behind its controls, binds each
/// control event to its routine and runs the start-up sequence.
class Application : public QObject {
  Q_OBJECT

 public:
  /// `dialogs` is the seam for message boxes and the open-file dialog (tests
  /// pass a recording one); null means the real Qt dialogs.
  explicit Application(const AppConfig& config, Dialogs* dialogs = nullptr,
                       QObject* parent = nullptr);
  ~Application() override;

  MainWindow& window() { return *window_; }
  ShareEngine& shareEngine() { return *share_; }
  LoginFlow& loginFlow() { return *login_; }

  /// Whether this process has the data folder: the lock is taken first
  /// thing when the Application is made, and when another Quillet holds it
  /// nothing else is made (no window, no browser profile, no page). Then
  /// says so on standard error and in a message box and returns false (the
  /// program then exits with status 1). A folder that cannot be written is
  /// no reason to stop: the journal reports it and stays off.
  bool lockDataFolder();

  /// The start-up sequence after the window is made: loading window (which
  /// shows the main window when it closes), the journal's list restored,
  /// remembered account, browser to the logout page and then the login page,
  /// the first captcha picture once that page is there,
  /// run state reset (then set to an interrupted pass's place, if any).
  void onMainWindowCreated();

 private:
  void bindEvents();
  void bindShareReports();
  // The period, loop, comment and export folder as the last start left them;
  // kept in the configuration folder as they change.
  void restorePreferences();
  void rememberPreferences();
  // The journal and the browser profile live here (the data folder unless
  // the configuration says otherwise).
  QString stateDir() const;
  void onContactLabelPressed();
  void onUpdateLabelPressed();

  AppConfig config_;
  std::unique_ptr<DataFolderLock> lock_;
  bool lockedOut_ = false;  // another Quillet holds the folder: nothing was made
  SiteProfile profile_;
  std::unique_ptr<QtDialogs> ownDialogs_;
  Dialogs* dialogs_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<RememberedAccount> account_;
  std::unique_ptr<WidgetShareSettings> shareSettings_;
  std::unique_ptr<SitePage> sitePage_;  // the browser's page, as the engine works it
  std::unique_ptr<ShareEngine> share_;
  std::unique_ptr<LoginFlow> login_;
  std::unique_ptr<ShareJournal> journal_;
  std::unique_ptr<ListActions> listActions_;
  std::unique_ptr<PassTitle> passTitle_;
  std::unique_ptr<RunTally> runTally_;
  std::unique_ptr<PassNotices> notices_;
  StatusTallyLabel* tallyLabel_ = nullptr;  // owned by the window
  AddressListMenu* listMenu_ = nullptr;     // owned by the window
};

}  // namespace quillet
