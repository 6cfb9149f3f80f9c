// Per-thread maps from window, menu, DC and GDI handles to framework
// objects, and the rest of the windowing state each GUI thread keeps.
#pragma once

#include <framework/framework.h>

#include <unordered_map>
#include <vector>

// Permanent objects are registered by their owners; temporaries are made on
// demand by FromHandle and deleted by DeleteTemp.
template <class H, class T>
class CHandleMap
{
public:
    typedef void (*SetHandleFn)(T* pObject, H h);

    explicit CHandleMap(SetHandleFn pfnSetHandle) : m_pfnSetHandle(pfnSetHandle) {}

    T* FromHandle(H h)
    {
        if (h == NULL)
            return NULL;
        if (T* p = LookupPermanent(h))
            return p;
        auto it = m_temporary.find(h);
        if (it != m_temporary.end())
            return it->second;
        T* p = new T;
        m_pfnSetHandle(p, h);
        m_temporary[h] = p;
        return p;
    }
    T* LookupPermanent(H h) const
    {
        auto it = m_permanent.find(h);
        return it == m_permanent.end() ? NULL : it->second;
    }
    void SetPermanent(H h, T* p) { m_permanent[h] = p; }
    void RemovePermanent(H h) { m_permanent.erase(h); }
    // The handle no longer names the object: drop the temporary from the map
    // now and free it with the other temporaries.
    void Forget(H h)
    {
        auto it = m_temporary.find(h);
        if (it == m_temporary.end())
            return;
        m_pfnSetHandle(it->second, NULL);
        m_orphans.push_back(it->second);
        m_temporary.erase(it);
    }
    void DeleteTemp()
    {
        std::vector<T*> doomed(m_orphans);
        m_orphans.clear();
        for (auto& entry : m_temporary)
            doomed.push_back(entry.second);
        m_temporary.clear();
        for (T* p : doomed)
        {
            m_pfnSetHandle(p, NULL);
            delete p;
        }
    }

private:
    SetHandleFn m_pfnSetHandle;
    std::unordered_map<H, T*> m_permanent;
    std::unordered_map<H, T*> m_temporary;
    std::vector<T*> m_orphans;
};

struct AfxWndState
{
    AfxWndState();

    CHandleMap<HWND, CWnd> windows;
    CHandleMap<HMENU, CMenu> menus;
    CHandleMap<HDC, CDC> dcs;
    CHandleMap<HGDIOBJ, CGdiObject> gdiObjects;
    CHandleMap<HIMAGELIST, CImageList> imageLists;
    int nTempMapLock;
    HHOOK hCbtHook;
    CWnd* pWndInit;       // the window CreateEx is making
    MSG msgCur;           // the message AfxWndProc is handling
    HMENU hMenuTracking;  // the popup TrackPopupMenu shows now
    CToolTipCtrl* pToolTip;
    HWND hWndLastTool;    // window and tool id the tip shows now
    INT_PTR nLastToolHit;
    TOOLINFO lastTool;

    void DeleteTemps();
};

// This thread's state, made on first use.
AfxWndState* AfxGetWndState();
// This thread's state if it was ever made, else NULL.
AfxWndState* AfxPeekWndState();
// Makes sure the thread's creation hook is installed.
void AfxHookWindowCreate(CWnd* pWnd);
void AfxUnhookWindowCreate();
