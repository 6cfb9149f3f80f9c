#include <seguard/seguard.h>

#include <setjmp.h>

namespace {

// One frame per active guard, innermost first, in Win32 thread-local storage.
struct GuardFrame {
    jmp_buf jump;
    DWORD code;
    GuardFrame* outer;
};

DWORD FrameSlot()
{
    static DWORD slot = TlsAlloc();
    return slot;
}

GuardFrame* Innermost()
{
    return static_cast<GuardFrame*>(TlsGetValue(FrameSlot()));
}

// Error-severity codes (faults) and plain Win32 or RPC status codes are
// caught; C++ exceptions and informational codes (debug output, thread
// names) are not.
bool Catchable(DWORD code)
{
    return (code & 0xC0000000) == 0xC0000000 || code < 0x10000;
}

LONG CALLBACK Handler(EXCEPTION_POINTERS* info)
{
    GuardFrame* frame = Innermost();
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!frame || !Catchable(code))
        return EXCEPTION_CONTINUE_SEARCH;
    frame->code = code;
    // Unwinds to the guard, running the termination handlers on the way.
    longjmp(frame->jump, 1);
}

__attribute__((noinline)) bool RunFrame(GuardFrame* frame, void (*body)(void*), void* context)
{
    if (setjmp(frame->jump))
        return false;
    body(context);
    return true;
}

}  // namespace

DWORD RunGuarded(void (*body)(void* context), void* context)
{
    static PVOID handler = AddVectoredExceptionHandler(1, Handler);
    (void)handler;
    GuardFrame frame;
    frame.code = 0;
    frame.outer = Innermost();
    TlsSetValue(FrameSlot(), &frame);
    try {
        RunFrame(&frame, body, context);
    } catch (...) {
        TlsSetValue(FrameSlot(), frame.outer);
        throw;
    }
    TlsSetValue(FrameSlot(), frame.outer);
    return frame.code;
}
