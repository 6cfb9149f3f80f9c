// OLE drag and drop: a window's drop target receives enter, over and drop
// with the data a COleDataSource cached, through the IDropTarget that OLE
// would call during a drag.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const char kText[] = "Nightly batch";
const CPoint kDropPoint(30, 20);  // client coordinates of the target window

HGLOBAL GlobalText(const char* lpszText)
{
    size_t nSize = strlen(lpszText) + 1;
    HGLOBAL hGlobal = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, nSize);
    memcpy(::GlobalLock(hGlobal), lpszText, nSize);
    ::GlobalUnlock(hGlobal);
    return hGlobal;
}

std::string TextOf(HGLOBAL hGlobal)
{
    if (hGlobal == NULL)
        return "";
    std::string text((const char*)::GlobalLock(hGlobal));
    ::GlobalUnlock(hGlobal);
    ::GlobalFree(hGlobal);
    return text;
}

// Records each call with the text it could read and answers with m_effect.
class RecordingTarget : public COleDropTarget
{
public:
    DROPEFFECT m_effect = DROPEFFECT_COPY;
    std::vector<std::string> m_calls;
    std::string m_dropped;
    CPoint m_point;

    DROPEFFECT OnDragEnter(CWnd*, COleDataObject* pData, DWORD, CPoint point) override
    {
        m_calls.push_back(pData->IsDataAvailable(CF_TEXT) ? "enter" : "enter without text");
        m_point = point;
        return m_effect;
    }
    DROPEFFECT OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint point) override
    {
        m_calls.push_back("over");
        m_point = point;
        return m_effect;
    }
    void OnDragLeave(CWnd*) override { m_calls.push_back("leave"); }
    BOOL OnDrop(CWnd*, COleDataObject* pData, DROPEFFECT, CPoint point) override
    {
        m_calls.push_back("drop");
        m_dropped = TextOf(pData->GetGlobalData(CF_TEXT));
        m_point = point;
        return TRUE;
    }
};

TEST(OleDragDropTest, DropTargetGetsTheCachedDataOfTheSource)
{
    ASSERT_TRUE(AfxOleInit());
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), TEXT("Drop here"), WS_POPUP | WS_VISIBLE, 200, 200, 160, 100,
                             NULL, NULL));
    CPoint screen = kDropPoint;
    wnd.ClientToScreen(&screen);
    const POINTL kAt = { screen.x, screen.y };
    const DWORD kAllowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;

    static const struct
    {
        const char* name;
        DROPEFFECT targetEffect;
        DROPEFFECT result;
        std::vector<std::string> calls;
        const char* dropped;
    } cases[] = {
        { "an allowed effect drops", DROPEFFECT_COPY, DROPEFFECT_COPY, { "enter", "over", "over", "drop" }, kText },
        { "an effect the source forbids leaves", DROPEFFECT_LINK, DROPEFFECT_NONE,
          { "enter", "over", "over", "leave" }, "" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        RecordingTarget target;
        ASSERT_TRUE(target.Register(&wnd));
        target.m_effect = c.targetEffect;
        COleDataSource source;
        source.CacheGlobalData(CF_TEXT, GlobalText(kText));
        LPDATAOBJECT pData = source.GetDataObject();
        LPDROPTARGET pDrop = target.GetDropTarget();
        DWORD dwEffect = kAllowed;
        pDrop->DragEnter(pData, MK_LBUTTON, kAt, &dwEffect);
        dwEffect = kAllowed;
        pDrop->DragOver(MK_LBUTTON, kAt, &dwEffect);
        dwEffect = kAllowed;
        pDrop->Drop(pData, 0, kAt, &dwEffect);
        EXPECT_EQ(c.result, dwEffect);
        EXPECT_EQ(c.calls, target.m_calls);
        EXPECT_EQ(c.dropped, target.m_dropped);
        EXPECT_EQ(kDropPoint, target.m_point) << "points arrive in client coordinates";
        pDrop->Release();
        pData->Release();
    }

    // A data object kept past its source answers with no data.
    LPDATAOBJECT pKept;
    {
        COleDataSource source;
        source.CacheGlobalData(CF_TEXT, GlobalText(kText));
        pKept = source.GetDataObject();
    }
    COleDataObject kept;
    kept.Attach(pKept);
    EXPECT_FALSE(kept.IsDataAvailable(CF_TEXT));
    EXPECT_TRUE(kept.GetGlobalData(CF_TEXT) == NULL);

    // The drag does not start while the mouse stays inside the start rectangle.
    COleDataSource source;
    source.CacheGlobalData(CF_TEXT, GlobalText(kText));
    CRect start(screen - CSize(5, 5), CSize(10, 10));
    wnd.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kDropPoint.x + 1, kDropPoint.y));
    wnd.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(kDropPoint.x + 1, kDropPoint.y));
    EXPECT_EQ(DROPEFFECT_NONE, source.DoDragDrop(kAllowed, &start));

    // Destroying the window revokes its drop target.
    RecordingTarget target;
    ASSERT_TRUE(target.Register(&wnd));
    LPDROPTARGET pOther = target.GetDropTarget();
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, ::RegisterDragDrop(wnd.m_hWnd, pOther));
    pOther->Release();
    wnd.DestroyWindow();
    EXPECT_TRUE(target.m_hWnd == NULL);
}

// A view that records the drag its plain drop target hands it.
class RecordingView : public CView
{
public:
    std::vector<std::string> m_calls;
    void OnDraw(CDC*) override {}
    DWORD OnDragEnter(COleDataObject*, DWORD, CPoint) override { return Record("enter"); }
    DWORD OnDragOver(COleDataObject*, DWORD, CPoint) override { return Record("over"); }
    void OnDragLeave() override { Record("leave"); }
    BOOL OnDrop(COleDataObject* pData, DWORD, CPoint point) override
    {
        Record("drop " + TextOf(pData->GetGlobalData(CF_TEXT)) + (point == kDropPoint ? "" : " elsewhere"));
        return TRUE;
    }

private:
    DWORD Record(const std::string& call)
    {
        m_calls.push_back(call);
        return DROPEFFECT_COPY;
    }
};

TEST(OleDragDropTest, APlainDropTargetHandsTheDragToItsView)
{
    ASSERT_TRUE(AfxOleInit());
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), TEXT("Views"), WS_POPUP | WS_VISIBLE, 200, 200, 160, 100,
                                NULL, NULL));
    RecordingView* pView = new RecordingView;  // deletes itself with its window
    ASSERT_TRUE(pView->Create(NULL, TEXT("view"), AFX_WS_DEFAULT_VIEW, CRect(0, 0, 160, 100), &parent, 1));
    COleDropTarget target;
    ASSERT_TRUE(target.Register(pView));
    CPoint screen = kDropPoint;
    pView->ClientToScreen(&screen);
    const POINTL kAt = { screen.x, screen.y };
    COleDataSource source;
    source.CacheGlobalData(CF_TEXT, GlobalText(kText));
    LPDATAOBJECT pData = source.GetDataObject();
    LPDROPTARGET pDrop = target.GetDropTarget();
    DWORD dwEffect = DROPEFFECT_COPY;
    pDrop->DragEnter(pData, MK_LBUTTON, kAt, &dwEffect);
    pDrop->DragLeave();
    pDrop->DragEnter(pData, MK_LBUTTON, kAt, &dwEffect);
    pDrop->Drop(pData, 0, kAt, &dwEffect);
    EXPECT_EQ(DROPEFFECT_COPY, dwEffect);
    const std::vector<std::string> kExpected = { "enter", "leave", "enter", "over", std::string("drop ") + kText };
    EXPECT_EQ(kExpected, pView->m_calls);
    pDrop->Release();
    pData->Release();
    parent.DestroyWindow();
}
}  // namespace
