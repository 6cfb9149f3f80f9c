// Statuses that tests compare and the product names only inside its
// sources, or not at all.
#ifndef TESTS_SUPPORT_STATUSES_H
#define TESTS_SUPPORT_STATUSES_H

#include <windows.h>

// Guarded: the body ran to its end.
const DWORD kNothingRaised = 0;

// ServerInterface statuses: done (and on disk), and refused (a text too
// long for where it goes, a console that cannot be bound, a full queue).
const LONG kStatusDone = 0;
const LONG kStatusRefused = 1;

// Statuses an agent refuses a step with: it cannot call this server back,
// or it is stopping.
const long kAgentCannotCallBack = 3;
const long kAgentStopping = 4;

#endif
