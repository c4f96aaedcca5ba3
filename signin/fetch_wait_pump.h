#pragma once

#include "net/fetch_with_timeout.h"

namespace quillet {

/// The fetch wait pump for the calling thread's Qt event dispatcher: a fetch's wait sleeps in the
/// dispatcher, handles the thread's events as they arrive (the window stays alive), and ends when
/// the worker finishes or the deadline passes. Install it with setFetchWaitPump() on a thread that
/// runs a Qt event loop.
FetchWaitPump qtFetchWaitPump();

}  // namespace quillet
