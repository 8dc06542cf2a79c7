#pragma once
// The request thread: one request at a time from the queue to the router.

#include <cstdint>

#include "platform/http_queue.h"
#include "service/router.h"

namespace service {

// Runs until the queue ends; returns the code that ended it (8 when the
// receive buffer cannot be had).
uint32_t RequestLoop(platform::HttpQueue& queue, Router& router, EventLog& log);

}  // namespace service
