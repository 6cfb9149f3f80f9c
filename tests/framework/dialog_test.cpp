// Dialogs: a modal dialog's data exchange driven by posted input, and a
// three-page branching wizard with a page removed while it is shown.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "gui_resources.h"

#include <string>
#include <vector>

namespace
{
class DataDialog : public CDialog
{
public:
    DataDialog() : CDialog(IDD_DATA) {}
    CString m_strName = "first";
    int m_nCount = 3;
    int m_bEnabled = 1;
    int m_nKind = 2;
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Text(pDX, IDC_COUNT, m_nCount);
        DDX_Check(pDX, IDC_ENABLED, m_bEnabled);
        DDX_Radio(pDX, IDC_KIND_FIRST, m_nKind);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        // The user's input, queued before the modal loop runs.
        SetDlgItemText(IDC_NAME, "second");
        SetDlgItemText(IDC_COUNT, "41");
        CheckRadioButton(IDC_KIND_FIRST, IDC_KIND_THIRD, IDC_KIND_FIRST);
        GetDlgItem(IDC_ENABLED)->PostMessage(BM_CLICK);
        GetDlgItem(IDOK)->PostMessage(BM_CLICK);
        return TRUE;
    }
};

TEST(ModalDialogTest, OkReadsTheControlsBackAfterPostedInput)
{
    DataDialog dlg;
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_STREQ("second", dlg.m_strName);
    EXPECT_EQ(41, dlg.m_nCount);
    EXPECT_EQ(0, dlg.m_bEnabled);
    EXPECT_EQ(0, dlg.m_nKind);
    EXPECT_EQ((HWND)NULL, dlg.m_hWnd);
}

std::vector<std::string> g_calls;

class WizardPage : public CPropertyPage
{
public:
    WizardPage(UINT nID, const char* name) : CPropertyPage(nID), m_name(name) {}
    BOOL OnSetActive() override
    {
        g_calls.push_back(m_name + ".OnSetActive");
        GetSheet()->SetWizardButtons(PSWIZB_NEXT | PSWIZB_BACK | PSWIZB_FINISH);
        return CPropertyPage::OnSetActive();
    }
    BOOL OnKillActive() override
    {
        g_calls.push_back(m_name + ".OnKillActive");
        return CPropertyPage::OnKillActive();
    }
    LRESULT OnWizardNext() override
    {
        g_calls.push_back(m_name + ".OnWizardNext");
        return m_nNext;
    }
    BOOL OnWizardFinish() override
    {
        g_calls.push_back(m_name + ".OnWizardFinish");
        return TRUE;
    }
    std::string m_name;
    LRESULT m_nNext = 0;
};

void Pump()
{
    MSG msg;
    while (PeekMessage(&msg, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}

TEST(WizardTest, BranchingPagesAndAPageRemovedWhileShownCallThePagesInOrder)
{
    g_calls.clear();
    WizardPage start(IDD_PAGE_START, "start"), middle(IDD_PAGE_MIDDLE, "middle"), end(IDD_PAGE_END, "end");
    CPropertySheet sheet("Wizard");
    sheet.AddPage(&start);
    sheet.AddPage(&middle);
    sheet.AddPage(&end);
    sheet.SetWizardMode();
    ASSERT_TRUE(sheet.Create());
    Pump();
    EXPECT_EQ(&start, sheet.GetActivePage());

    // The start page branches to the end page by its template id.
    start.m_nNext = IDD_PAGE_END;
    sheet.SendMessage(PSM_PRESSBUTTON, PSBTN_NEXT);
    Pump();
    EXPECT_EQ(&end, sheet.GetActivePage());

    // The middle page leaves while the sheet is shown.
    sheet.RemovePage(&middle);
    Pump();
    EXPECT_EQ(2, sheet.GetPageCount());
    EXPECT_EQ(1, sheet.GetActiveIndex());

    sheet.SendMessage(PSM_PRESSBUTTON, PSBTN_FINISH);
    Pump();

    const std::vector<std::string> expected = {
        "start.OnSetActive", "start.OnWizardNext", "start.OnKillActive", "end.OnSetActive", "end.OnWizardFinish",
    };
    EXPECT_EQ(expected, g_calls);
    sheet.DestroyWindow();
}
}  // namespace
