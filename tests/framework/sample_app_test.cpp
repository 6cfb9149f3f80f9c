// The sample application: a main window with the menu and accelerators of
// its resources, painted shapes and text, and a modeless dialog with an
// edit, a check box, a combo box filled from its init data, a list control
// and a tool tip. Its picture goes to build/<arch>/pictures/sample_app.png.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "gui_resources.h"
#include "picture.h"

namespace
{
const COLORREF kShapeFill = RGB(0, 128, 255);
const COLORREF kFrameColour = RGB(200, 0, 0);
const CRect kShapeRect(20, 20, 140, 100);

class SampleMainWnd : public CWnd
{
public:
    int m_nNewCommands = 0;
    HACCEL m_hAccel = NULL;
    afx_msg void OnPaint()
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, RGB(255, 255, 255));
        CBrush brush(kShapeFill);
        CPen pen(PS_SOLID, 1, kFrameColour);
        CBrush* pOldBrush = dc.SelectObject(&brush);
        CPen* pOldPen = dc.SelectObject(&pen);
        dc.Rectangle(kShapeRect);
        dc.Ellipse(160, 20, 260, 100);
        dc.SelectObject(pOldBrush);
        dc.SelectObject(pOldPen);
        dc.SetBkMode(TRANSPARENT);
        dc.TextOut(20, 120, CString("Batch diagram"));
        dc.Draw3dRect(CRect(20, 150, 260, 170), RGB(255, 255, 255), RGB(64, 64, 64));
    }
    afx_msg void OnFileNew() { ++m_nNewCommands; }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        return m_hAccel != NULL && ::TranslateAccelerator(m_hWnd, m_hAccel, pMsg);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SampleMainWnd, CWnd)
    ON_WM_PAINT()
    ON_COMMAND(ID_FILE_NEW, OnFileNew)
END_MESSAGE_MAP()

class ToolsDialog : public CDialog
{
public:
    CListCtrl m_steps;
    CToolTipCtrl m_tip;
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_steps.SubclassDlgItem(IDC_STEPS, this);
        m_steps.InsertColumn(0, "Step", LVCFMT_LEFT, 120);
        m_steps.InsertColumn(1, "Agent", LVCFMT_LEFT, 100);
        m_steps.InsertItem(0, "Copy files");
        m_steps.SetItemText(0, 1, "HOST1");
        m_steps.InsertItem(1, "Run report");
        m_steps.SetItemText(1, 1, "HOST2");
        SetDlgItemText(IDC_NAME, "Nightly batch");
        CheckDlgButton(IDC_ENABLED, BST_CHECKED);
        SendDlgItemMessage(IDC_COLOUR, CB_SETCURSEL, 1);
        m_tip.Create(this);
        m_tip.AddTool(GetDlgItem(IDC_NAME), "The batch's name");
        return TRUE;
    }
    void OnOK() override { ShowWindow(SW_HIDE); }
    void OnCancel() override { ShowWindow(SW_HIDE); }
};

TEST(SampleAppTest, MainWindowAndToolsDialogRunAndArePictured)
{
    SampleMainWnd main;
    CString title;
    title.LoadString(IDS_SAMPLE_TITLE);
    ASSERT_TRUE(main.CreateEx(0, AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW), title,
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 520, 320, NULL, NULL));
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_SAMPLE_MENU));
    main.SetMenu(&menu);
    main.m_hAccel = ::LoadAccelerators(AfxGetInstanceHandle(), MAKEINTRESOURCE(IDR_SAMPLE_ACCEL));
    ASSERT_NE((HACCEL)NULL, main.m_hAccel);
    AfxGetApp()->m_pMainWnd = &main;

    // Ctrl+N through the application's translation reaches the command.
    MSG msg = { main.m_hWnd, WM_KEYDOWN, 'N', 1 };
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(AfxGetApp()->PreTranslateMessage(&msg));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(1, main.m_nNewCommands);

    ToolsDialog tools;
    ASSERT_TRUE(tools.Create(IDD_SAMPLE_TOOLS, &main));
    tools.SetWindowPos(NULL, 280, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    tools.ShowWindow(SW_SHOW);
    main.UpdateWindow();
    tools.UpdateWindow();

    CComboBox* pColour = (CComboBox*)tools.GetDlgItem(IDC_COLOUR);
    EXPECT_EQ(3, pColour->GetCount()) << "the combo box is filled from the dialog's init data";
    CString colour;
    pColour->GetLBText(1, colour);
    EXPECT_STREQ("Green", colour);
    EXPECT_EQ(2, tools.m_steps.GetItemCount());
    EXPECT_STREQ("HOST2", tools.m_steps.GetItemText(1, 1));
    EXPECT_EQ(1, tools.m_tip.GetToolCount());

    Picture mainPicture = Picture::OfWindow(main.m_hWnd);
    ASSERT_FALSE(mainPicture.Empty());
    CPoint origin(0, 0);
    ::ClientToScreen(main.m_hWnd, &origin);
    CRect windowRect;
    main.GetWindowRect(&windowRect);
    CPoint inside = kShapeRect.CenterPoint() + CSize(origin.x - windowRect.left, origin.y - windowRect.top);
    EXPECT_EQ(kShapeFill, mainPicture.At(inside.x, inside.y));
    EXPECT_EQ(kFrameColour, mainPicture.At(kShapeRect.left + origin.x - windowRect.left,
                                           inside.y));
    EXPECT_NE("", mainPicture.SavePng("sample_app"));
    EXPECT_NE("", Picture::OfWindow(tools.m_hWnd).SavePng("sample_tools"));

    tools.DestroyWindow();
    AfxGetApp()->m_pMainWnd = NULL;
    main.DestroyWindow();
}
}  // namespace
