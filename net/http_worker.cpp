#include "net/http_worker.h"

#include "net/http_request.h"

namespace quillet {

void httpWorkerEntry(std::shared_ptr<HttpExchange> exchange) {
  HttpRequestRecord record = exchange->record;
  BodySink sink;
  if (exchange->sink) {
    // No piece is handed over once the caller has given up.
    sink = [&exchange](std::string_view piece) {
      return !exchange->cancel.load() && exchange->sink(piece);
    };
  }
  std::string incomplete;
  performHttpRequest(record, &exchange->cancel, sink, exchange->maxBodyBytes, &incomplete);
  {
    std::lock_guard lock(exchange->mutex);
    if (!exchange->cancel.load()) {
      exchange->record = std::move(record);
      exchange->incomplete = std::move(incomplete);
    }
    exchange->done = true;
    if (exchange->wake) exchange->wake();
  }
  exchange->finished.notify_all();
}

}  // namespace quillet
