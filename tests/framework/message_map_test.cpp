// Message maps: each macro family reaches its handler with the cracked
// arguments and gives its result; a derived map overrides one entry and
// inherits the rest; OnCmdMsg chains to another target; command-UI updates
// of a popup enable, check and rename its items.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <string>

namespace
{
const UINT kAppMessage = WM_APP + 7;
const UINT kCmdBase = 500;      // overridden in the derived map
const UINT kCmdInherited = 501; // only in the base map
const UINT kCmdRangeFirst = 510;
const UINT kCmdRangeLast = 512;
const UINT kCmdHelper = 520;    // handled by the chained target
const UINT kCmdUnhandled = 530;
const UINT kChildId = 42;
const LPARAM kFromChild = 1;  // the command comes from the child control
const UINT kNotifyCode = (UINT)-901;
const UINT kReflectedNotifyCode = (UINT)-902;
const UINT kRegisteredMessage = RegisterWindowMessage(TEXT("Vantorel.MessageMapTest"));

std::string g_log;

class MapChild : public CWnd
{
public:
    afx_msg void OnReflectedNotify(NMHDR* pNMHDR, LRESULT* pResult)
    {
        g_log = "child.OnReflectedNotify(" + std::to_string(pNMHDR->idFrom) + ")";
        *pResult = 77;
    }
    afx_msg void OnReflectedClicked() { g_log = "child.OnReflectedClicked()"; }
    void DrawItem(LPDRAWITEMSTRUCT p) { g_log = "child.DrawItem(" + std::to_string(p->itemID) + ")"; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapChild, CWnd)
    ON_NOTIFY_REFLECT(kReflectedNotifyCode, OnReflectedNotify)
    ON_CONTROL_REFLECT(BN_CLICKED, OnReflectedClicked)
    ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

class CommandHelper : public CCmdTarget
{
public:
    afx_msg void OnHelperCommand() { g_log = "helper.OnHelperCommand()"; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandHelper, CCmdTarget)
    ON_COMMAND(kCmdHelper, OnHelperCommand)
END_MESSAGE_MAP()

class MapBase : public CWnd
{
public:
    afx_msg void OnSize(UINT nType, int cx, int cy)
    {
        g_log = "OnSize(" + std::to_string(nType) + "," + std::to_string(cx) + "," + std::to_string(cy) + ")";
    }
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point)
    {
        g_log = "OnLButtonDown(" + std::to_string(nFlags) + "," + std::to_string(point.x) + "," +
                std::to_string(point.y) + ")";
    }
    afx_msg LRESULT OnAppMessage(WPARAM wParam, LPARAM lParam)
    {
        g_log = "OnAppMessage(" + std::to_string(wParam) + "," + std::to_string(lParam) + ")";
        return 1234;
    }
    afx_msg LRESULT OnRegistered(WPARAM wParam, LPARAM)
    {
        g_log = "OnRegistered(" + std::to_string(wParam) + ")";
        return 99;
    }
    afx_msg void OnBaseCommand() { g_log = "base.OnBaseCommand()"; }
    afx_msg void OnInheritedCommand() { g_log = "base.OnInheritedCommand()"; }
    afx_msg void OnRange(UINT nID) { g_log = "OnRange(" + std::to_string(nID) + ")"; }
    afx_msg void OnChildNotify(NMHDR* pNMHDR, LRESULT* pResult)
    {
        g_log = "OnChildNotify(" + std::to_string(pNMHDR->idFrom) + ")";
        *pResult = 55;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapBase, CWnd)
    ON_WM_SIZE()
    ON_WM_LBUTTONDOWN()
    ON_MESSAGE(kAppMessage, OnAppMessage)
    ON_REGISTERED_MESSAGE(kRegisteredMessage, OnRegistered)
    ON_COMMAND(kCmdBase, OnBaseCommand)
    ON_COMMAND(kCmdInherited, OnInheritedCommand)
    ON_COMMAND_RANGE(kCmdRangeFirst, kCmdRangeLast, OnRange)
    ON_NOTIFY(kNotifyCode, kChildId, OnChildNotify)
END_MESSAGE_MAP()

class MapDerived : public MapBase
{
public:
    afx_msg void OnDerivedCommand() { g_log = "derived.OnDerivedCommand()"; }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override
    {
        if (MapBase::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
            return TRUE;
        return m_helper.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    CommandHelper m_helper;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapDerived, MapBase)
    ON_COMMAND(kCmdBase, OnDerivedCommand)
END_MESSAGE_MAP()

struct MapCase
{
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;  // WM_NOTIFY: the NMHDR code; WM_DRAWITEM: the item id; WM_COMMAND: kFromChild
    const char* expectedLog;
    LRESULT expectedResult;
};

class MessageMapTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_wnd.CreateEx(0, NULL, TEXT("map"), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL));
        ASSERT_TRUE(m_child.Create(TEXT("BUTTON"), TEXT("c"), BS_OWNERDRAW | WS_VISIBLE, CRect(0, 0, 20, 20),
                                   &m_wnd, kChildId));
        g_log.clear();
    }
    void TearDown() override { m_wnd.DestroyWindow(); }

    LRESULT Deliver(const MapCase& c)
    {
        if (c.message == WM_NOTIFY)
        {
            NMHDR hdr = { m_child.m_hWnd, kChildId, (UINT)c.lParam };
            return m_wnd.SendMessage(WM_NOTIFY, kChildId, (LPARAM)&hdr);
        }
        if (c.message == WM_DRAWITEM)
        {
            DRAWITEMSTRUCT dis = {};
            dis.CtlType = ODT_BUTTON;
            dis.CtlID = kChildId;
            dis.itemID = (UINT)c.lParam;
            dis.hwndItem = m_child.m_hWnd;
            return m_wnd.SendMessage(WM_DRAWITEM, kChildId, (LPARAM)&dis);
        }
        if (c.message == WM_COMMAND && c.lParam != 0)
            return m_wnd.SendMessage(WM_COMMAND, c.wParam, (LPARAM)m_child.m_hWnd);
        return m_wnd.SendMessage(c.message, c.wParam, c.lParam);
    }

    MapDerived m_wnd;
    MapChild m_child;
};

TEST_F(MessageMapTest, EachFamilyReachesItsHandlerWithItsArguments)
{
    const MapCase cases[] = {
        { "ON_WM_SIZE", WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 80), "OnSize(0,120,80)", 0 },
        { "ON_WM_LBUTTONDOWN signed point", WM_LBUTTONDOWN, MK_SHIFT, MAKELPARAM(-5, 7), "OnLButtonDown(4,-5,7)", 0 },
        { "ON_MESSAGE", kAppMessage, 3, 4, "OnAppMessage(3,4)", 1234 },
        { "ON_REGISTERED_MESSAGE", kRegisteredMessage, 6, 0, "OnRegistered(6)", 99 },
        { "ON_COMMAND overridden by the derived map", WM_COMMAND, kCmdBase, 0, "derived.OnDerivedCommand()", 0 },
        { "ON_COMMAND inherited from the base map", WM_COMMAND, kCmdInherited, 0, "base.OnInheritedCommand()", 0 },
        { "ON_COMMAND_RANGE first", WM_COMMAND, kCmdRangeFirst, 0, "OnRange(510)", 0 },
        { "ON_COMMAND_RANGE last", WM_COMMAND, kCmdRangeLast, 0, "OnRange(512)", 0 },
        { "OnCmdMsg chained to a helper", WM_COMMAND, kCmdHelper, 0, "helper.OnHelperCommand()", 0 },
        { "ON_NOTIFY in the parent", WM_NOTIFY, 0, (LPARAM)kNotifyCode, "OnChildNotify(42)", 55 },
        { "ON_NOTIFY_REFLECT in the child", WM_NOTIFY, 0, (LPARAM)kReflectedNotifyCode,
          "child.OnReflectedNotify(42)", 77 },
        { "ON_CONTROL_REFLECT in the child", WM_COMMAND, MAKEWPARAM(kChildId, BN_CLICKED), kFromChild,
          "child.OnReflectedClicked()", 0 },
        { "ON_WM_DRAWITEM_REFLECT in the child", WM_DRAWITEM, 0, 3, "child.DrawItem(3)", TRUE },
    };
    for (const MapCase& c : cases)
    {
        g_log.clear();
        LRESULT result = Deliver(c);
        EXPECT_EQ(c.expectedLog, g_log) << c.name;
        EXPECT_EQ(c.expectedResult, result) << c.name;
    }
}

TEST_F(MessageMapTest, UnhandledCommandsAndHandlerQueriesCallNothing)
{
    AFX_CMDHANDLERINFO info = { NULL, NULL };
    EXPECT_TRUE(m_wnd.OnCmdMsg(kCmdHelper, CN_COMMAND, NULL, &info));
    EXPECT_EQ(&m_wnd.m_helper, info.pTarget);
    EXPECT_FALSE(m_wnd.OnCmdMsg(kCmdUnhandled, CN_COMMAND, NULL, &info));
    EXPECT_EQ("", g_log) << "a handler query must not run the handler";
}

// Command-UI updates of a popup menu.
const UINT kItemEnabled = 600;
const UINT kItemDisabled = 601;
const UINT kItemChecked = 602;
const UINT kItemRenamed = 603;
const UINT kItemNoHandler = 604;
const UINT kItemCommandOnly = 605;

class UpdateWnd : public CWnd
{
public:
    afx_msg void OnUpdateEnabled(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }
    afx_msg void OnUpdateDisabled(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }
    afx_msg void OnUpdateChecked(CCmdUI* pCmdUI) { pCmdUI->SetCheck(1); }
    afx_msg void OnUpdateRenamed(CCmdUI* pCmdUI) { pCmdUI->SetText(TEXT("Renamed")); }
    afx_msg void OnCommandOnly() {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(UpdateWnd, CWnd)
    ON_UPDATE_COMMAND_UI(kItemEnabled, OnUpdateEnabled)
    ON_UPDATE_COMMAND_UI(kItemDisabled, OnUpdateDisabled)
    ON_UPDATE_COMMAND_UI_RANGE(kItemChecked, kItemChecked, OnUpdateChecked)
    ON_UPDATE_COMMAND_UI(kItemRenamed, OnUpdateRenamed)
    ON_COMMAND(kItemCommandOnly, OnCommandOnly)
END_MESSAGE_MAP()

TEST(CmdUITest, PopupItemsAreEnabledCheckedAndRenamedByTheirUpdateHandlers)
{
    UpdateWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, NULL, TEXT("ui"), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL));
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    const UINT items[] = { kItemEnabled, kItemDisabled, kItemChecked, kItemRenamed, kItemNoHandler, kItemCommandOnly };
    for (UINT id : items)
        popup.AppendMenu(MF_STRING, id, TEXT("Item"));

    wnd.SendMessage(WM_INITMENUPOPUP, (WPARAM)popup.m_hMenu, 0);

    struct
    {
        UINT id;
        bool grayed;
        bool checked;
        const char* text;
    } const expected[] = {
        { kItemEnabled, false, false, "Item" },   { kItemDisabled, true, false, "Item" },
        { kItemChecked, true, true, "Item" },     { kItemRenamed, true, false, "Renamed" },
        { kItemNoHandler, true, false, "Item" },  { kItemCommandOnly, false, false, "Item" },
    };
    for (const auto& e : expected)
    {
        UINT state = popup.GetMenuState(e.id, MF_BYCOMMAND);
        CString text;
        popup.GetMenuString(e.id, text, MF_BYCOMMAND);
        EXPECT_EQ(e.grayed, (state & MF_GRAYED) != 0) << e.id;
        EXPECT_EQ(e.checked, (state & MF_CHECKED) != 0) << e.id;
        EXPECT_STREQ(e.text, (LPCTSTR)text) << e.id;
    }
    wnd.DestroyWindow();
}
}  // namespace
