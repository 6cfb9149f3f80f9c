// CCmdTarget and message maps: how window messages, commands, command-UI
// updates and control notifications reach handler members.
//
// A class with DECLARE_MESSAGE_MAP lists its handlers between
// BEGIN_MESSAGE_MAP(theClass, baseClass) and END_MESSAGE_MAP(); each map is
// chained to its base class's map, so a derived class overrides a handler by
// listing it again and inherits the rest. Lookup walks from the most derived
// map to CCmdTarget's and takes the first matching entry.
//
// Commands travel through OnCmdMsg(nID, nCode, pExtra, pHandlerInfo):
//   nCode CN_COMMAND             a menu, accelerator or button command
//   nCode CN_UPDATE_COMMAND_UI   pExtra is the CCmdUI to update
//   nCode a control notification (BN_CLICKED, EN_CHANGE, ...) of WM_COMMAND
//   nCode AFX_NOTIFY_CODE(msg, code) for WM_NOTIFY and reflected messages;
//         pExtra is an AFX_NOTIFY
// With pHandlerInfo set, OnCmdMsg only answers whether a handler exists and
// fills pHandlerInfo with it. Classes that route commands further (to other
// targets) override OnCmdMsg and chain to their base's.
// Everything here runs on the thread that owns the windows.
#pragma once

#include <framework/object.h>

class CCmdTarget;
class CCmdUI;
class CMenu;
class CWnd;

// One message or command on its way through a message map.
struct AFX_MSGCALL
{
    UINT nMessage;
    WPARAM wParam;
    LPARAM lParam;
    UINT nID;        // command or control id
    void* pExtra;    // CCmdUI* or AFX_NOTIFY* for commands
    LRESULT lResult; // what the window procedure returns
};

// A handler thunk: calls the member with the message's cracked arguments.
// Returns FALSE when the handler declined (the _EX entries), so lookup goes on.
typedef BOOL (*AFX_MSGHANDLER)(CCmdTarget* pTarget, AFX_MSGCALL& call);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;             // window message; 0 ends the table
    const UINT* pnRegistered;  // ON_REGISTERED_MESSAGE: the variable holding the number
    int nCode;                 // command, control notification or WM_NOTIFY code
    UINT nID;                  // first command or control id
    UINT nLastID;              // last id of a range
    AFX_MSGHANDLER pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// What OnCmdMsg reports when asked only whether a handler exists.
struct AFX_CMDHANDLERINFO
{
    CCmdTarget* pTarget;
    const AFX_MSGMAP_ENTRY* pEntry;
};

// The extra data of a WM_NOTIFY command: the header and the result slot.
struct AFX_NOTIFY
{
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((int)(-1))
// Reflected messages are the original number plus this base, routed to the
// child window that sent them.
#define WM_REFLECT_BASE 0xBC00
// The nCode of OnCmdMsg for a WM_NOTIFY (or reflected) code.
#define AFX_NOTIFY_CODE(msg, code) ((int)MAKELONG((WORD)(short)(code), (WORD)(msg)))

class CCmdTarget : public CObject
{
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() {}

    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // The wait cursor while a long operation runs (counted, nestable).
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    // The first entry of the map chain that matches, or NULL.
    static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT nMessage, int nCode, UINT nID);
    // Calls every matching entry from the most derived map on until one handles it.
    BOOL DispatchEntries(UINT nMessage, int nCode, UINT nID, AFX_MSGCALL& call,
                         AFX_CMDHANDLERINFO* pHandlerInfo);
    friend class CWnd;
};

// A command-UI update: one menu item or other user-interface element whose
// enabled, checked and text state the command's update handler sets.
class CCmdUI
{
public:
    CCmdUI();

    UINT m_nID;
    UINT m_nIndex;     // item position in m_pMenu
    CMenu* m_pMenu;    // the popup being updated, or NULL
    CMenu* m_pSubMenu; // the item's own popup, when it opens one
    CWnd* m_pOther;    // a window element (button, bar item), or NULL
    UINT m_nIndexMax;
    BOOL m_bEnableChanged;
    BOOL m_bContinueRouting;

    virtual ~CCmdUI() {}
    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);  // 0 clear, 1 checked, 2 indeterminate
    virtual void SetRadio(BOOL bOn = TRUE);
    virtual void SetText(LPCTSTR lpszText);
    void ContinueRouting() { m_bContinueRouting = TRUE; }

    // Asks pTarget's update handler; without one, disables the element when
    // bDisableIfNoHndler and the target has no command handler either.
    BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};

#define afx_msg

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const; \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() \
    { \
        using ThisClass [[maybe_unused]] = theClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP() \
            { 0, NULL, 0, 0, 0, NULL } \
        }; \
        static const AFX_MSGMAP map = { &TheBaseClass::GetThisMessageMap, entries }; \
        return &map; \
    }

#define AFX_TARGET(p) static_cast<ThisClass*>(p)

// Commands.
#define ON_COMMAND(id, fn) \
    { WM_COMMAND, NULL, CN_COMMAND, (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL&) -> BOOL { AFX_TARGET(p)->fn(); return TRUE; } },
#define ON_COMMAND_RANGE(id, idLast, fn) \
    { WM_COMMAND, NULL, CN_COMMAND, (UINT)(id), (UINT)(idLast), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { AFX_TARGET(p)->fn(c.nID); return TRUE; } },
// The handler returns TRUE when it took the command, FALSE to pass it on.
#define ON_COMMAND_EX(id, fn) \
    { WM_COMMAND, NULL, CN_COMMAND, (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { return AFX_TARGET(p)->fn(c.nID); } },
#define ON_UPDATE_COMMAND_UI(id, fn) \
    { WM_COMMAND, NULL, CN_UPDATE_COMMAND_UI, (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { AFX_TARGET(p)->fn((CCmdUI*)c.pExtra); return TRUE; } },
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, fn) \
    { WM_COMMAND, NULL, CN_UPDATE_COMMAND_UI, (UINT)(id), (UINT)(idLast), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { AFX_TARGET(p)->fn((CCmdUI*)c.pExtra); return TRUE; } },

// Control notifications sent as WM_COMMAND.
#define ON_CONTROL(code, id, fn) \
    { WM_COMMAND, NULL, (int)(code), (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL&) -> BOOL { AFX_TARGET(p)->fn(); return TRUE; } },
#define ON_CONTROL_RANGE(code, id, idLast, fn) \
    { WM_COMMAND, NULL, (int)(code), (UINT)(id), (UINT)(idLast), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { AFX_TARGET(p)->fn(c.nID); return TRUE; } },
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_EN_UPDATE(id, fn) ON_CONTROL(EN_UPDATE, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_CBN_DROPDOWN(id, fn) ON_CONTROL(CBN_DROPDOWN, id, fn)
#define ON_CBN_CLOSEUP(id, fn) ON_CONTROL(CBN_CLOSEUP, id, fn)
#define ON_CBN_KILLFOCUS(id, fn) ON_CONTROL(CBN_KILLFOCUS, id, fn)
#define ON_CONTROL_REFLECT(code, fn) \
    { WM_COMMAND + WM_REFLECT_BASE, NULL, (int)(code), 0, 0, \
      [](CCmdTarget* p, AFX_MSGCALL&) -> BOOL { AFX_TARGET(p)->fn(); return TRUE; } },

// WM_NOTIFY: fn(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, fn) \
    { WM_NOTIFY, NULL, (int)(code), (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; AFX_TARGET(p)->fn(n->pNMHDR, n->pResult); return TRUE; } },
#define ON_NOTIFY_RANGE(code, id, idLast, fn) \
    { WM_NOTIFY, NULL, (int)(code), (UINT)(id), (UINT)(idLast), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; AFX_TARGET(p)->fn(c.nID, n->pNMHDR, n->pResult); return TRUE; } },
// fn(UINT id, NMHDR*, LRESULT*) returns TRUE when it took the notification.
#define ON_NOTIFY_EX(code, id, fn) \
    { WM_NOTIFY, NULL, (int)(code), (UINT)(id), (UINT)(id), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; return AFX_TARGET(p)->fn(c.nID, n->pNMHDR, n->pResult); } },
#define ON_NOTIFY_EX_RANGE(code, id, idLast, fn) \
    { WM_NOTIFY, NULL, (int)(code), (UINT)(id), (UINT)(idLast), \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; return AFX_TARGET(p)->fn(c.nID, n->pNMHDR, n->pResult); } },
// A notification the control handles itself before its parent sees it.
#define ON_NOTIFY_REFLECT(code, fn) \
    { WM_NOTIFY + WM_REFLECT_BASE, NULL, (int)(code), 0, 0, \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; AFX_TARGET(p)->fn(n->pNMHDR, n->pResult); return TRUE; } },
#define ON_NOTIFY_REFLECT_EX(code, fn) \
    { WM_NOTIFY + WM_REFLECT_BASE, NULL, (int)(code), 0, 0, \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { \
          AFX_NOTIFY* n = (AFX_NOTIFY*)c.pExtra; return AFX_TARGET(p)->fn(n->pNMHDR, n->pResult); } },

// Any message by number: LRESULT fn(WPARAM, LPARAM).
#define ON_MESSAGE(message, fn) \
    { (UINT)(message), NULL, 0, 0, 0, \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { c.lResult = AFX_TARGET(p)->fn(c.wParam, c.lParam); return TRUE; } },
// A message registered at run time; nMessageVariable holds its number.
#define ON_REGISTERED_MESSAGE(nMessageVariable, fn) \
    { 0xC000, &(nMessageVariable), 0, 0, 0, \
      [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { c.lResult = AFX_TARGET(p)->fn(c.wParam, c.lParam); return TRUE; } },
