// The application object of the GUI test program. Commands that reach the
// application go to its command target, when a test sets one; WinHelp
// calls are recorded instead of opening a help file.
#pragma once

#include <framework/framework.h>

class GuiTestApp : public CWinApp
{
public:
    GuiTestApp() : CWinApp("Framework GUI Tests") {}

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override
    {
        if (m_pCommandTarget != NULL && m_pCommandTarget->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
            return TRUE;
        return CWinApp::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override
    {
        m_lastHelpData = dwData;
        m_nLastHelpCommand = nCmd;
    }
    // Deletes the document templates a test added (and their documents).
    void RemoveDocTemplates()
    {
        while (!m_templateList.IsEmpty())
            delete (CDocTemplate*)m_templateList.RemoveHead();
    }

    CCmdTarget* m_pCommandTarget = NULL;
    DWORD_PTR m_lastHelpData = 0;
    UINT m_nLastHelpCommand = 0;
};

GuiTestApp& TheTestApp();
