// How a remote-procedure routine of either service turns the work it does
// into its status: 0 when the body ran through, a thrown code as it is, a
// failure of the object database as the status that describes it, and any
// other failure or fault as the thread's last system error, never 0.
// Faults (access violations, raised RPC codes) jump out of the body through
// the structured-exception guard and skip the destructors of its objects.
#ifndef SERVER_REMOTE_CALL_H
#define SERVER_REMOTE_CALL_H

#include <server/thread_mediator.h>

#include <seguard/seguard.h>
#include <zqdb32/zqdb32.h>

// A failure must never read as success, also when it left no system error.
inline long LastErrorStatus()
{
    DWORD error = GetLastError();
    return error ? (long)error : ERROR_INTERNAL_ERROR;
}

// The status of a database failure: the system error of a failed read or
// write, else the data was not valid (a damaged or malformed image, an
// object that cannot be filed).
inline long NeoExceptionStatus(const CNeoException* e)
{
    if (e->getCode() == CNeoException::kIO)
        return e->getOSError() ? (long)e->getOSError() : ERROR_WRITE_FAULT;
    return ERROR_INVALID_DATA;
}

// Runs a body inside the guard and answers its status.
template <class Body>
long RunGuardedBody(Body& body)
{
    long status = 0;
    DWORD fault = Guarded([&] {
        try {
            body();
        } catch (unsigned long code) {
            status = (long)code;
        } catch (long code) {
            status = code;
        } catch (CNeoException* e) {
            status = NeoExceptionStatus(e);
            e->Delete();
        } catch (CMemFileException* e) {
            e->Delete();
            status = ERROR_NOT_ENOUGH_MEMORY;
        } catch (CException* e) {
            e->Delete();
            status = LastErrorStatus();
        } catch (...) {
            status = LastErrorStatus();
        }
    });
    return fault ? LastErrorStatus() : status;
}

// Runs bodies that use a database while holding a ThreadMediatorGuard: the
// body, then `after` (for example a commit) under the same guard; the body's
// failure comes first in the status.
template <class Body, class After>
long MediatedCall(Body body, After after)
{
    SetLastError(0);
    try {
        ThreadMediatorGuard guard;
        long status = RunGuardedBody(body);
        long afterStatus = RunGuardedBody(after);
        return status ? status : afterStatus;
    } catch (CException* e) {
        e->Delete();
        return LastErrorStatus();
    }
}

template <class Body>
long MediatedCall(Body body)
{
    return MediatedCall(body, [] {});
}

#endif
