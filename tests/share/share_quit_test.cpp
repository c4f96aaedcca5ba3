// Quitting the application while a pass waits ends the pass at that wait:
// it must not race on through the remaining rows once every wait returns at
// once.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QtTest>

#include "app/widget_share_settings.h"
#include "share/address_list_model.h"
#include "share/share_engine.h"

using namespace quillet;

class ShareQuitTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void quittingEndsThePass() {
    QWidget window;  // no browser below it: the page steps find nothing
    AddressListModel list;
    QLineEdit period(QStringLiteral("21"), &window);
    QCheckBox loop(&window);
    QCheckBox addComment(&window);
    QListWidget pool(&window);
    QLabel progress(&window);
    WidgetShareSettings settings(&period, &loop, &addComment, &pool);
    ShareEngine engine(list, settings, nullptr, SiteProfile{});
    QObject::connect(&engine, &ShareEngine::progressText, &progress, &QLabel::setText);
    QStringList rows;
    for (int i = 0; i < 500; ++i) rows << QStringLiteral("row %1").arg(i);
    list.insertRows(0, rows);
    loop.setChecked(true);

    // Quit while the first row is on its way (its first wait is 4 s, scaled).
    bool quitSent = false;
    QTimer::singleShot(1, &engine, [&quitSent] {
      quitSent = true;
      QCoreApplication::exit(0);
    });
    engine.publish();

    QVERIFY(quitSent);
    QVERIFY(!engine.isRunning());
    int withStatus = 0;
    for (int row = 0; row < list.rowCountInt(); ++row) withStatus += !list.cell(row, 1).isEmpty();
    QCOMPARE(withStatus, 0);
    QCOMPARE(engine.failedAddresses().count(), 0);
    QVERIFY(progress.text() != ShareEngine::finishedText());
  }
};

QTEST_MAIN(ShareQuitTest)
#include "share_quit_test.moc"
