#pragma once

// Returns only when strictly more than ms milliseconds have passed on a monotonic clock,
// dispatching every pending event meanwhile, so handlers run nested inside the wait. It sleeps in
// a nested event loop between events rather than spinning.
void SettleDelay(int ms);
