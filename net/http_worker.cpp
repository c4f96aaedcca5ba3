#include "net/http_worker.h"

#include "net/http_request.h"

namespace quillet {

void HttpWorkerEntry(std::shared_ptr<HttpExchange> exchange) {
  HttpRequestRecord record = exchange->record;
  PerformHttpRequest(record, &exchange->cancel);
  {
    std::lock_guard lock(exchange->mutex);
    if (!exchange->cancel.load()) exchange->record = std::move(record);
    exchange->done = true;
  }
  exchange->finished.notify_all();
}

}  // namespace quillet
