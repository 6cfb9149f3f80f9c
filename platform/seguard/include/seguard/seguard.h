// The structured-exception guard: runs code so that a structured exception
// raised inside it (an RPC failure from RpcRaiseException, an access
// violation, an exception raised with RaiseException) becomes a status
// instead of ending the process. g++ cannot catch structured exceptions with
// catch (...), so a vectored exception handler sends the thread back to the
// innermost guard of the thread, with the runtime's long jump: the frames
// between the fault and the guard are unwound and their termination
// handlers run (a failed RPC call gives back its buffer, connection and
// binding reference).
//
// C++ destructors between the fault and the guard need not run: keep the
// guarded body free of objects that own resources, and put the guard inside
// the scopes that hold locks (never around them), so that those scopes
// still release what they hold. C++ exceptions pass through a
// guard unchanged.
#ifndef SEGUARD_SEGUARD_H
#define SEGUARD_SEGUARD_H

#include <windows.h>

// Runs body(context); returns 0, or the code of the structured exception
// that ended it.
DWORD RunGuarded(void (*body)(void* context), void* context);

// Runs a callable under the guard: Guarded([&] { ... }).
template <class Body>
DWORD Guarded(Body body)
{
    return RunGuarded([](void* context) { (*static_cast<Body*>(context))(); }, &body);
}

#endif
