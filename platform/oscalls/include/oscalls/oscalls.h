// oscalls: the operating-system facilities that some platforms lack, each
// with the real calls and a fallback side by side, and one way for a test to
// put a stand-in in their place.
//
// USE
// - A caller reaches a facility through Os<Facility>(), e.g.
//   Os<LogonCalls>().LogonUser(...). It gets the stand-in a test installed,
//   or else the implementation that fits the platform the program runs on.
// - Callers never ask which platform they run on. Where the platform may not
//   do something, the facility answers a question about what it can do
//   (LogonCalls::CanImpersonate, AccountCalls::WhyNoServicePrivileges) and
//   the caller acts on the answer. Only this library tells platforms apart.
//
// STAND-INS
// - ScopedStandIn<Facility> installed(standIn) puts `standIn` in place until
//   `installed` goes out of scope; the previous one comes back then, so
//   stand-ins nest. A stand-in usually derives from the real class
//   (Win32LogonCalls...) and overrides only the calls a test chooses.
// - Install and remove stand-ins only while no other thread uses the
//   facility: the slot is a plain pointer.
//
// ADDING A FACILITY
// 1. Declare an abstract class here with a one-line purpose, its calls as
//    pure virtual members and `static Facility& Platform();`.
// 2. Declare the real class (Win32...) and, when some platform needs one, the
//    fallback (Fallback..., derived from the real class, overriding only what
//    differs), and say in one line what the fallback does instead.
// 3. In oscalls.cpp define both side by side and let Platform() choose with
//    PlatformChoice<Real, Fallback>(), or return the real one when no
//    platform needs a fallback.
// 4. Add the facility's row to tests/oscalls (real and fallback answers).
//
// LIMITS
// - The calls are thin: arguments, results and last-error values are the
//   platform's own. Tokens and buffers are released through the facility
//   that handed them out, so a stand-in may hand out its own.
// - The library depends on the platform's libraries only (advapi32,
//   netapi32, rpcrt4, kernel32), so every program of the system can link it.
#ifndef OSCALLS_OSCALLS_H
#define OSCALLS_OSCALLS_H

#include <windows.h>
#include <ntsecapi.h>
#include <lm.h>
#include <rpc.h>

// ---------------------------------------------------------------------------
// Reaching a facility and installing stand-ins.

template <class Facility>
struct StandInSlot {
    static inline Facility* installed = NULL;
};

template <class Facility>
Facility& Os()
{
    Facility* standIn = StandInSlot<Facility>::installed;
    return standIn ? *standIn : Facility::Platform();
}

template <class Facility>
class ScopedStandIn {
public:
    explicit ScopedStandIn(Facility& standIn) : m_previous(StandInSlot<Facility>::installed)
    {
        StandInSlot<Facility>::installed = &standIn;
    }
    ~ScopedStandIn() { StandInSlot<Facility>::installed = m_previous; }
    ScopedStandIn(const ScopedStandIn&) = delete;
    ScopedStandIn& operator=(const ScopedStandIn&) = delete;

private:
    Facility* m_previous;
};

// ---------------------------------------------------------------------------
// Logon: logs accounts on and lets the calling thread act as them.

class LogonCalls {
public:
    virtual ~LogonCalls() {}
    static LogonCalls& Platform();

    virtual BOOL LogonUser(const char* user, const char* domain, const char* password,
                           DWORD logonType, DWORD provider, HANDLE* token) = 0;
    virtual BOOL CloseToken(HANDLE token) = 0;
    // Whether a token from LogonUser can be impersonated. When not, the
    // caller goes on as its own account instead.
    virtual BOOL CanImpersonate() = 0;
    virtual BOOL Impersonate(HANDLE token) = 0;
    virtual BOOL RevertToSelf() = 0;
};

class Win32LogonCalls : public LogonCalls {
public:
    virtual BOOL LogonUser(const char* user, const char* domain, const char* password,
                           DWORD logonType, DWORD provider, HANDLE* token);
    virtual BOOL CloseToken(HANDLE token);
    virtual BOOL CanImpersonate();
    virtual BOOL Impersonate(HANDLE token);
    virtual BOOL RevertToSelf();
};

// Logons give placeholder tokens that no thread can act as.
class FallbackLogonCalls : public Win32LogonCalls {
public:
    virtual BOOL CanImpersonate();
};

// ---------------------------------------------------------------------------
// Accounts: user rights, token privileges and this computer's name.

class AccountCalls {
public:
    virtual ~AccountCalls() {}
    static AccountCalls& Platform();

    // This process's token and its privileges.
    virtual BOOL OpenProcessToken(DWORD access, HANDLE* token) = 0;
    virtual BOOL LookupPrivilegeValue(const char* system, const char* name, LUID* luid) = 0;
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info,
                                     DWORD length, DWORD* returned) = 0;
    virtual BOOL CloseToken(HANDLE token) = 0;
    // NULL where a service can hold the privileges it needs, so a missing
    // one is a failure; else why no service holds them on this platform.
    virtual const char* WhyNoServicePrivileges() = 0;

    // Local security authority.
    virtual NTSTATUS LsaOpenPolicy(LSA_UNICODE_STRING* system, LSA_OBJECT_ATTRIBUTES* attributes,
                                   ACCESS_MASK access, LSA_HANDLE* policy) = 0;
    virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE policy, PSID sid, LSA_UNICODE_STRING* rights,
                                         ULONG count) = 0;
    virtual NTSTATUS LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid, BOOLEAN allRights,
                                            LSA_UNICODE_STRING* rights, ULONG count) = 0;
    virtual NTSTATUS LsaClose(LSA_HANDLE policy) = 0;
    virtual BOOL LookupAccountName(const char* system, const char* account, PSID sid,
                                   DWORD* sidSize, char* domain, DWORD* domainSize,
                                   SID_NAME_USE* use) = 0;

    // Network information; buffers are freed with NetApiBufferFree.
    virtual NET_API_STATUS NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                        BYTE** buffer) = 0;
    virtual NET_API_STATUS NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer) = 0;
    virtual NET_API_STATUS NetApiBufferFree(void* buffer) = 0;
};

class Win32AccountCalls : public AccountCalls {
public:
    virtual BOOL OpenProcessToken(DWORD access, HANDLE* token);
    virtual BOOL LookupPrivilegeValue(const char* system, const char* name, LUID* luid);
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info,
                                     DWORD length, DWORD* returned);
    virtual BOOL CloseToken(HANDLE token);
    virtual const char* WhyNoServicePrivileges();
    virtual NTSTATUS LsaOpenPolicy(LSA_UNICODE_STRING* system, LSA_OBJECT_ATTRIBUTES* attributes,
                                   ACCESS_MASK access, LSA_HANDLE* policy);
    virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE policy, PSID sid, LSA_UNICODE_STRING* rights,
                                         ULONG count);
    virtual NTSTATUS LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid, BOOLEAN allRights,
                                            LSA_UNICODE_STRING* rights, ULONG count);
    virtual NTSTATUS LsaClose(LSA_HANDLE policy);
    virtual BOOL LookupAccountName(const char* system, const char* account, PSID sid,
                                   DWORD* sidSize, char* domain, DWORD* domainSize,
                                   SID_NAME_USE* use);
    virtual NET_API_STATUS NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                        BYTE** buffer);
    virtual NET_API_STATUS NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer);
    virtual NET_API_STATUS NetApiBufferFree(void* buffer);
};

// No process token carries the service privileges, even in a service: the
// platform says why instead of the check failing.
class FallbackAccountCalls : public Win32AccountCalls {
public:
    virtual const char* WhyNoServicePrivileges();
};

// ---------------------------------------------------------------------------
// Event log: writes entries to the system event log.
//
// No fallback: where the system log keeps nothing, nothing better exists;
// a service run in a console shows its entries there itself.

class EventLogCalls {
public:
    virtual ~EventLogCalls() {}
    static EventLogCalls& Platform();

    // One entry of `type` (EVENTLOG_...) from `source`; failures are dropped.
    virtual void Report(const char* source, WORD type, const char* text) = 0;
};

class Win32EventLogCalls : public EventLogCalls {
public:
    virtual void Report(const char* source, WORD type, const char* text);
};

// ---------------------------------------------------------------------------
// Process times: the creation time and CPU times of another process.

class ProcessTimeCalls {
public:
    virtual ~ProcessTimeCalls() {}
    static ProcessTimeCalls& Platform();

    virtual BOOL GetProcessTimes(HANDLE process, DWORD processId, FILETIME* creation,
                                 FILETIME* exit, FILETIME* kernel, FILETIME* user) = 0;
};

class Win32ProcessTimeCalls : public ProcessTimeCalls {
public:
    virtual BOOL GetProcessTimes(HANDLE process, DWORD processId, FILETIME* creation,
                                 FILETIME* exit, FILETIME* kernel, FILETIME* user);
};

// The process's own call answers the caller's CPU times: the CPU times are
// summed over the process's threads instead (creation and exit time stay).
class FallbackProcessTimeCalls : public Win32ProcessTimeCalls {
public:
    virtual BOOL GetProcessTimes(HANDLE process, DWORD processId, FILETIME* creation,
                                 FILETIME* exit, FILETIME* kernel, FILETIME* user);
};

// ---------------------------------------------------------------------------
// Announcement slots: a write handle on a mailslot of every machine of the
// domain, for one-message broadcasts.

class SlotCalls {
public:
    virtual ~SlotCalls() {}
    static SlotCalls& Platform();

    // The slot `name` ("\\*\mailslot\remote\<name>"), or
    // INVALID_HANDLE_VALUE; close it with CloseHandle.
    virtual HANDLE OpenBroadcastSlot(const char* name) = 0;
};

class Win32SlotCalls : public SlotCalls {
public:
    virtual HANDLE OpenBroadcastSlot(const char* name);
};

// Broadcast slots cannot be opened: this machine's slot of the same name
// ("\\.\mailslot\remote\<name>") is written instead.
class FallbackSlotCalls : public Win32SlotCalls {
public:
    virtual HANDLE OpenBroadcastSlot(const char* name);
};

// ---------------------------------------------------------------------------
// Pipe bindings: RPC client bindings to a server's named pipe.

class PipeBindingCalls {
public:
    virtual ~PipeBindingCalls() {}
    static PipeBindingCalls& Platform();

    // A binding over "ncacn_np" to `endpoint` ("\pipe\...") on the machine
    // `address` ("\\name"); free it with RpcBindingFree.
    virtual RPC_STATUS Bind(const char* address, const char* endpoint,
                            RPC_BINDING_HANDLE* binding) = 0;
};

class Win32PipeBindingCalls : public PipeBindingCalls {
public:
    virtual RPC_STATUS Bind(const char* address, const char* endpoint,
                            RPC_BINDING_HANDLE* binding);
    // As Bind, with network options (NULL for none).
    static RPC_STATUS Compose(const char* address, const char* endpoint, const char* options,
                              RPC_BINDING_HANDLE* binding);
};

// The runtime shares one association among the bindings to a pipe, and a
// call whose reconnect failed leaves that association held for good, with
// the group id of a server that has since restarted; bound into it, every
// new connection is refused by the restarted server. Each binding gets a
// network option of its own, hence an association of its own, instead.
class FallbackPipeBindingCalls : public Win32PipeBindingCalls {
public:
    virtual RPC_STATUS Bind(const char* address, const char* endpoint,
                            RPC_BINDING_HANDLE* binding);
};

#endif
