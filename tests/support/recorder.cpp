#include "recorder.h"

#include <cstdio>

namespace
{
DWORD g_slot = TlsAlloc();

LRESULT CALLBACK CallWndProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION)
    {
        const CWPSTRUCT* p = (const CWPSTRUCT*)lParam;
        MessageRecorder* pRecorder = MessageRecorder::Current();
        if (pRecorder != NULL && CWnd::FromHandlePermanent(p->hwnd) == NULL)
            pRecorder->Record(p->hwnd, p->message, p->wParam, p->lParam);
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}
}  // namespace

MessageRecorder::MessageRecorder()
    : m_hHook(SetWindowsHookEx(WH_CALLWNDPROC, CallWndProc, NULL, GetCurrentThreadId())),
      m_pPrevious(Current())
{
    TlsSetValue(g_slot, this);
}

MessageRecorder::~MessageRecorder()
{
    UnhookWindowsHookEx(m_hHook);
    TlsSetValue(g_slot, m_pPrevious);
}

MessageRecorder* MessageRecorder::Current()
{
    return static_cast<MessageRecorder*>(TlsGetValue(g_slot));
}

void MessageRecorder::Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    m_messages.push_back({ hWnd, message, wParam, lParam });
}

const std::set<UINT>& MessageRecorder::Noise()
{
    static const std::set<UINT> noise = {
        WM_GETTEXT, WM_GETTEXTLENGTH, WM_GETICON, WM_GETMINMAXINFO, WM_NCCALCSIZE, WM_NCPAINT,
        WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_SETFOCUS, WM_KILLFOCUS, WM_WINDOWPOSCHANGING,
        WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE, WM_SHOWWINDOW, WM_PAINT, WM_ERASEBKGND,
        WM_SETCURSOR, WM_NCHITTEST, WM_IME_SETCONTEXT, WM_IME_NOTIFY, WM_CHANGEUISTATE,
        WM_UPDATEUISTATE, WM_QUERYUISTATE, WM_GETDLGCODE, WM_CTLCOLORBTN, WM_CTLCOLORDLG,
        WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_SETFONT, WM_GETFONT,
        WM_NOTIFYFORMAT, WM_QUERYNEWPALETTE, WM_SYNCPAINT, WM_NCMOUSEMOVE, WM_MOUSEMOVE,
        0x031F /* non-client rendering */, WM_STYLECHANGING, WM_STYLECHANGED, WM_PARENTNOTIFY,
        WM_NCCREATE, WM_NCDESTROY, WM_ENTERIDLE, WM_TIMER, 0x0118 /* caret blink */, WM_NULL,
        0x0090 /* theme */, WM_PRINTCLIENT, WM_USER, WM_CANCELMODE, WM_CAPTURECHANGED };
    return noise;
}

std::string MessageRecorder::Name(UINT message)
{
    static const struct
    {
        UINT message;
        const char* name;
    } names[] = {
        { WM_CREATE, "WM_CREATE" }, { WM_DESTROY, "WM_DESTROY" }, { WM_NCDESTROY, "WM_NCDESTROY" },
        { WM_CLOSE, "WM_CLOSE" }, { WM_COMMAND, "WM_COMMAND" }, { WM_NOTIFY, "WM_NOTIFY" },
        { WM_INITDIALOG, "WM_INITDIALOG" }, { WM_TIMER, "WM_TIMER" }, { WM_PAINT, "WM_PAINT" },
        { WM_LBUTTONDOWN, "WM_LBUTTONDOWN" }, { WM_LBUTTONUP, "WM_LBUTTONUP" },
        { WM_KEYDOWN, "WM_KEYDOWN" }, { WM_CHAR, "WM_CHAR" }, { WM_CONTEXTMENU, "WM_CONTEXTMENU" },
        { WM_INITMENUPOPUP, "WM_INITMENUPOPUP" }, { WM_DRAWITEM, "WM_DRAWITEM" },
        { WM_MEASUREITEM, "WM_MEASUREITEM" }, { WM_SIZE, "WM_SIZE" }, { WM_SETTEXT, "WM_SETTEXT" },
        { WM_ENTERMENULOOP, "WM_ENTERMENULOOP" }, { WM_EXITMENULOOP, "WM_EXITMENULOOP" },
        { WM_MENUSELECT, "WM_MENUSELECT" }, { WM_INITMENU, "WM_INITMENU" },
        { WM_UNINITMENUPOPUP, "WM_UNINITMENUPOPUP" }, { WM_CTLCOLORBTN, "WM_CTLCOLORBTN" },
    };
    for (const auto& n : names)
    {
        if (n.message == message)
            return n.name;
    }
    char sz[16];
    sprintf(sz, "0x%04X", message);
    return sz;
}

std::vector<std::string> MessageRecorder::Names(HWND hWnd) const
{
    std::vector<std::string> result;
    for (const RecordedMessage& m : m_messages)
    {
        if (m.hWnd == hWnd && Noise().count(m.message) == 0)
            result.push_back(Name(m.message));
    }
    return result;
}

void SetModifierKeys(bool bShift, bool bCtrl)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_LSHIFT] = bShift ? 0x80 : 0;
    keys[VK_CONTROL] = keys[VK_LCONTROL] = bCtrl ? 0x80 : 0;
    SetKeyboardState(keys);
}
