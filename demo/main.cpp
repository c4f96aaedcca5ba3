// quillet-demo-site: serves the demo share site on 127.0.0.1 until it gets
// SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "demo/demo_options.h"
#include "demo/demo_site.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const quillet::DemoCommandLine line = quillet::parseDemoCommandLine(arguments);
  if (line.help) {
    std::cout << quillet::demoUsage();
    return 0;
  }
  if (!line.error.empty()) {
    std::cerr << "quillet-demo-site: " << line.error << "\n";
    return 2;
  }

  // Block the stop signals before any thread starts, so that every server
  // thread inherits the mask and only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  quillet::DemoSite site(line.options);
  if (!site.start(line.host, line.port)) {
    std::cerr << "quillet-demo-site: cannot serve on 127.0.0.1:" << line.port
              << " (is the port in use?)\n";
    return 1;
  }

  std::cout << "Demo share site listening on " << site.baseUrl() << "/logon\n";
  for (const auto& account : site.accounts()) {
    std::cout << "Account: " << account.user << "  password: " << account.password << "\n";
  }
  if (!line.options.fixedCaptcha.empty()) {
    std::cout << "Captcha: always " << line.options.fixedCaptcha << "\n";
  }
  std::cout << "Item addresses: " << site.itemUrl(1) << " ... " << site.itemUrl(100000) << "\n"
            << "Shares made: " << site.baseUrl() << "/demo/shares\n"
            << "Stop with Ctrl+C." << std::endl;

  int received = 0;
  sigwait(&stopSignals, &received);
  std::cout << "Stopping." << std::endl;
  site.stop();
  return 0;
}
