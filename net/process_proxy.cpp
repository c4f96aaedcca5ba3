#include "net/process_proxy.h"

#include <mutex>

namespace quillet {
namespace {

std::mutex gMutex;
std::string gProxy;

}  // namespace

void setProcessProxy(std::string url) {
  const std::lock_guard<std::mutex> lock(gMutex);
  gProxy = std::move(url);
}

std::string processProxy() {
  const std::lock_guard<std::mutex> lock(gMutex);
  return gProxy;
}

}  // namespace quillet
