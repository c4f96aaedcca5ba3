// Soak run of the whole share flow: many addresses through the real browser
// engine against the demo share site with faults injected, at a small time
// scale. Prints how far the list and the site's own record disagree.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <map>

#include "site/pump_wait.h"
#include "site/time_scale.h"
#include "tests/share/share_harness.h"

using namespace quillet;

namespace {

struct Arguments {
  int count = 1000;
  double scale = 0.1;
  std::uint64_t seed = 20261208;
};

Arguments parse(const QStringList& args) {
  Arguments out;
  for (int i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QStringLiteral("--count")) out.count = args[i + 1].toInt();
    if (args[i] == QStringLiteral("--scale")) out.scale = args[i + 1].toDouble();
    if (args[i] == QStringLiteral("--seed")) out.seed = args[i + 1].toULongLong();
  }
  return out;
}

QDateTime parseTime(const QString& text) {
  return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const Arguments args = parse(QCoreApplication::arguments());
  setTimeScale(args.scale);

  DemoOptions options;
  options.wrongLinkRate = 0.05;
  options.failRate = 0.10;
  options.latencyMinMs = 0;
  options.latencyMaxMs = 40;
  options.stallRate = 0.01;
  options.stallMs = 600000;
  options.dropRate = 0.01;
  options.seed = args.seed;

  ShareHarness h(options);
  if (!h.siteRunning()) {
    std::fprintf(stderr, "demo site did not start\n");
    return 1;
  }
  h.window.show();
  bool signedIn = false;
  for (int attempt = 0; attempt < 5 && !signedIn; ++attempt) signedIn = h.signIn();
  if (!signedIn) {
    std::fprintf(stderr, "could not sign in\n");
    return 1;
  }

  QStringList addresses;
  for (int id = 1; id <= args.count; ++id) addresses << h.itemAddress(id);
  h.setRows(addresses);
  h.addComment->setChecked(true);
  h.period->setText(QStringLiteral("21"));

  // Every designed wait, as actually scaled, to tell the automation's own
  // time apart from the waits it is meant to make.
  std::int64_t designedMicros = 0;
  h.engine->setWaitFunction([&designedMicros](std::int32_t micros) {
    designedMicros += scaledMicros(micros);
    pumpWait(micros);
  });
  QTimer progress;
  QObject::connect(&progress, &QTimer::timeout, [&h, &args] {
    std::fprintf(stderr, "  ... row %d of %d\n", h.engine->currentRow(), args.count);
  });
  progress.start(30000);

  QElapsedTimer clock;
  clock.start();
  h.engine->publish();
  const double wallSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  progress.stop();

  // What the site made, by address.
  std::map<QString, std::vector<ShareRecord>> byAddress;
  for (const ShareRecord& r : h.shares()) byAddress[QString::fromStdString(r.address)].push_back(r);

  int mismatches = 0, twice = 0, withoutStatus = 0;
  std::map<QString, int> statusCounts;
  for (int row = 0; row < h.list.rowCountInt(); ++row) {
    const QString address = h.list.cell(row);
    const QString status = h.list.cell(row, 1);
    ++statusCounts[status];
    const std::vector<ShareRecord>& made = byAddress[address];
    int ok = 0;
    const ShareRecord* okRecord = nullptr;
    for (const ShareRecord& r : made) {
      if (r.ok) {
        ++ok;
        okRecord = &r;
      }
    }
    if (ok > 1) ++twice;
    bool matches = true;
    if (status.isEmpty()) {
      ++withoutStatus;
      matches = false;
    } else if (status == QStringLiteral("成功")) {
      matches = ok == 1;
      if (matches) {
        const qint64 lag = parseTime(QString::fromStdString(okRecord->time))
                               .secsTo(parseTime(h.list.cell(row, 2)));
        matches = lag >= 0 && lag <= 2;
      }
    } else if (status == QStringLiteral("失败")) {
      matches = ok == 0;  // a failed row must not have been shared after all
    } else if (status == QStringLiteral("地址错误")) {
      matches = made.empty();
    } else {
      matches = false;
    }
    if (!matches) {
      ++mismatches;
      std::printf("mismatch: row %d %s status \"%s\", site records %zu (ok %d)\n", row,
                  qPrintable(address), qPrintable(status), made.size(), ok);
    }
  }

  const int rows = h.list.rowCountInt();
  std::printf("addresses %d, time scale %.3f, seed %llu\n", rows, args.scale,
              static_cast<unsigned long long>(args.seed));
  std::printf("statuses: 成功 %d, 失败 %d, 地址错误 %d, empty %d\n",
              statusCounts[QStringLiteral("成功")], statusCounts[QStringLiteral("失败")],
              statusCounts[QStringLiteral("地址错误")], statusCounts[QString()]);
  std::printf("failed-address list entries: %d\n", h.engine->failedAddresses().count());
  std::printf("mismatches between rows and the site's record: %d (target 0)\n", mismatches);
  std::printf("shares made twice: %d (target 0)\n", twice);
  std::printf("rows without a status: %d (target 0)\n", withoutStatus);
  const double designedSeconds = static_cast<double>(designedMicros) / 1e6;
  std::printf("wall %.1f s, designed waits %.1f s\n", wallSeconds, designedSeconds);
  std::printf("automation overhead per address: %.1f ms\n",
              1000.0 * (wallSeconds - designedSeconds) / std::max(rows, 1));
  return 0;
}
