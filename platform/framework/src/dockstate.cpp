#include <framework/archive.h>
#include <framework/dockcontext.h>
#include <framework/dockstate.h>
#include <framework/frame.h>
#include <framework/winapp.h>

#include <set>
#include <vector>

IMPLEMENT_SERIAL(CDockState, CObject, 0)

namespace
{
const int kNoPosition = -1;
const int kDefaultMRUWidth = 32767;
const DWORD kPlaceholderFlag = 0x10000;
const int kMaxCount = 0xFFFF;  // counts are 16-bit in the archive form

CSize CurrentScreen()
{
    return CSize(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
}

bool IsSideDockBarID(UINT nID)
{
    return nID >= AFX_IDW_DOCKBAR_TOP && nID <= AFX_IDW_DOCKBAR_BOTTOM;
}

bool IsDockBarID(UINT nID)
{
    return nID >= AFX_IDW_DOCKBAR_TOP && nID <= AFX_IDW_DOCKBAR_FLOAT;
}

CString SectionName(LPCTSTR lpszProfileName, int nIndex)
{
    CString section;
    section.Format(TEXT("%s-Bar%d"), lpszProfileName, nIndex);
    return section;
}

CString SummaryName(LPCTSTR lpszProfileName)
{
    CString section;
    section.Format(TEXT("%s-Summary"), lpszProfileName);
    return section;
}

// Profile values: keys written only when they differ from their default.
class ProfileSection
{
public:
    ProfileSection(CWinApp* pApp, const CString& section) : m_pApp(pApp), m_section(section) {}
    void Write(LPCTSTR lpszEntry, int nValue, int nDefault)
    {
        if (nValue != nDefault)
            m_pApp->WriteProfileInt(m_section, lpszEntry, nValue);
    }
    int Read(LPCTSTR lpszEntry, int nDefault) { return (int)m_pApp->GetProfileInt(m_section, lpszEntry, nDefault); }

private:
    CWinApp* m_pApp;
    CString m_section;
};

CControlBar* ExistingBar(CFrameWnd* pFrame, UINT nID, bool bDockBar)
{
    CControlBar* pBar = pFrame->GetControlBar(nID);
    if (pBar == NULL || (pBar->IsKindOf(RUNTIME_CLASS(CDockBar)) != (BOOL)bDockBar))
        return NULL;
    return pBar;
}

// Whether every record names what the frame has: its dock bars and sides,
// its bars each in one dock bar at most, well-formed dock bar entries.
bool FitsFrame(const CDockState& state, CFrameWnd* pFrame)
{
    std::set<UINT> sides, dockedBars, barRecords;
    for (int i = 0; i < (int)state.m_arrBarInfo.GetSize(); ++i)
    {
        const CControlBarInfo* pInfo = (const CControlBarInfo*)state.m_arrBarInfo[i];
        if (!pInfo->m_bDockBar)
        {
            if (pInfo->m_bFloating || ExistingBar(pFrame, pInfo->m_nBarID, false) == NULL ||
                !barRecords.insert(pInfo->m_nBarID).second)
                return false;
            if (pInfo->m_bDocking && pInfo->m_uMRUDockID != 0 &&
                (!IsSideDockBarID(pInfo->m_uMRUDockID) || ExistingBar(pFrame, pInfo->m_uMRUDockID, true) == NULL))
                return false;
            continue;
        }
        if (pInfo->m_bFloating ? pInfo->m_nBarID != AFX_IDW_DOCKBAR_FLOAT
                               : (!IsSideDockBarID(pInfo->m_nBarID) ||
                                  ExistingBar(pFrame, pInfo->m_nBarID, true) == NULL ||
                                  !sides.insert(pInfo->m_nBarID).second))
            return false;
        const CDWordArray& ids = pInfo->m_arrBarID;
        int nCount = (int)ids.GetSize();
        if (nCount > 0 && (ids[0] != 0 || ids[nCount - 1] != 0))
            return false;  // entry 0 and the last row's end are row ends
        int nBars = 0;
        for (int k = 0; k < nCount; ++k)
        {
            DWORD id = ids[k];
            if (id == 0)
                continue;
            if ((id & ~(kPlaceholderFlag | 0xFFFF)) != 0 || (id & 0xFFFF) == 0)
                return false;
            if (id & kPlaceholderFlag)
                continue;
            if (ExistingBar(pFrame, id, false) == NULL || !dockedBars.insert(id).second)
                return false;
            ++nBars;
        }
        if (pInfo->m_bFloating && nBars == 0)
            return false;  // a floating frame never stands empty
    }
    return true;
}
}  // namespace

// ------------------------------------------------------------ bar records

CControlBarInfo::CControlBarInfo()
    : m_nBarID(0), m_bVisible(TRUE), m_bFloating(FALSE), m_bHorz(FALSE), m_bDockBar(FALSE),
      m_pointPos(kNoPosition, kNoPosition), m_nMRUWidth(kDefaultMRUWidth), m_bDocking(FALSE), m_uMRUDockID(0),
      m_rectMRUDockPos(0, 0, 0, 0), m_dwMRUFloatStyle(0), m_ptMRUFloatPos(0, 0), m_pBar(NULL)
{
}

BOOL CControlBarInfo::SaveState(LPCTSTR lpszProfileName, int nIndex)
{
    CWinApp* pApp = AfxGetApp();
    bool bEmptyDockBar = m_bDockBar && m_bVisible && !m_bFloating &&
                         m_pointPos == CPoint(kNoPosition, kNoPosition) && m_arrBarID.GetSize() <= 1;
    if (pApp == NULL || bEmptyDockBar)
        return FALSE;
    CString section = SectionName(lpszProfileName, nIndex);
    // Keys left at their defaults are not written: clear the old ones.
    pApp->WriteProfileString(section, NULL, NULL);
    ProfileSection profile(pApp, section);
    pApp->WriteProfileInt(section, TEXT("BarID"), (int)m_nBarID);
    profile.Write(TEXT("Visible"), m_bVisible ? 1 : 0, 1);
    if (m_bFloating)
    {
        pApp->WriteProfileInt(section, TEXT("Horz"), m_bHorz ? 1 : 0);
        pApp->WriteProfileInt(section, TEXT("Floating"), 1);
    }
    profile.Write(TEXT("XPos"), m_pointPos.x, kNoPosition);
    profile.Write(TEXT("YPos"), m_pointPos.y, kNoPosition);
    profile.Write(TEXT("MRUWidth"), m_nMRUWidth, kDefaultMRUWidth);
    if (m_bDocking)
    {
        pApp->WriteProfileInt(section, TEXT("Docking"), 1);
        pApp->WriteProfileInt(section, TEXT("MRUDockID"), (int)m_uMRUDockID);
        pApp->WriteProfileInt(section, TEXT("MRUDockLeftPos"), m_rectMRUDockPos.left);
        pApp->WriteProfileInt(section, TEXT("MRUDockTopPos"), m_rectMRUDockPos.top);
        pApp->WriteProfileInt(section, TEXT("MRUDockRightPos"), m_rectMRUDockPos.right);
        pApp->WriteProfileInt(section, TEXT("MRUDockBottomPos"), m_rectMRUDockPos.bottom);
        pApp->WriteProfileInt(section, TEXT("MRUFloatStyle"), (int)m_dwMRUFloatStyle);
        pApp->WriteProfileInt(section, TEXT("MRUFloatXPos"), m_ptMRUFloatPos.x);
        pApp->WriteProfileInt(section, TEXT("MRUFloatYPos"), m_ptMRUFloatPos.y);
    }
    if (m_arrBarID.GetSize() > 1)
    {
        pApp->WriteProfileInt(section, TEXT("Bars"), (int)m_arrBarID.GetSize());
        for (int i = 0; i < (int)m_arrBarID.GetSize(); ++i)
        {
            CString entry;
            entry.Format(TEXT("Bar#%d"), i);
            pApp->WriteProfileInt(section, entry, (int)m_arrBarID[i]);
        }
    }
    return TRUE;
}

BOOL CControlBarInfo::LoadState(LPCTSTR lpszProfileName, int nIndex, CDockState* pDockState)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return FALSE;
    ProfileSection profile(pApp, SectionName(lpszProfileName, nIndex));
    m_nBarID = (UINT)profile.Read(TEXT("BarID"), 0);
    if (m_nBarID == 0)
        return FALSE;
    m_bDockBar = IsDockBarID(m_nBarID);
    m_bVisible = profile.Read(TEXT("Visible"), 1) != 0;
    m_bHorz = profile.Read(TEXT("Horz"), 0) != 0;
    m_bFloating = profile.Read(TEXT("Floating"), 0) != 0;
    m_pointPos = CPoint(profile.Read(TEXT("XPos"), kNoPosition), profile.Read(TEXT("YPos"), kNoPosition));
    pDockState->ScalePoint(m_pointPos);
    m_nMRUWidth = profile.Read(TEXT("MRUWidth"), kDefaultMRUWidth);
    m_bDocking = profile.Read(TEXT("Docking"), 0) != 0;
    if (m_bDocking)
    {
        m_uMRUDockID = (UINT)profile.Read(TEXT("MRUDockID"), 0);
        m_rectMRUDockPos = CRect(profile.Read(TEXT("MRUDockLeftPos"), 0), profile.Read(TEXT("MRUDockTopPos"), 0),
                                 profile.Read(TEXT("MRUDockRightPos"), 0),
                                 profile.Read(TEXT("MRUDockBottomPos"), 0));
        pDockState->ScaleRectPos(m_rectMRUDockPos);
        m_dwMRUFloatStyle = (DWORD)profile.Read(TEXT("MRUFloatStyle"), 0);
        m_ptMRUFloatPos = CPoint(profile.Read(TEXT("MRUFloatXPos"), 0), profile.Read(TEXT("MRUFloatYPos"), 0));
        pDockState->ScalePoint(m_ptMRUFloatPos);
    }
    int nBars = profile.Read(TEXT("Bars"), 0);
    if (nBars < 0 || nBars > kMaxCount)
        return FALSE;
    m_arrBarID.RemoveAll();
    for (int i = 0; i < nBars; ++i)
    {
        CString entry;
        entry.Format(TEXT("Bar#%d"), i);
        m_arrBarID.Add((DWORD)profile.Read(entry, 0));
    }
    return TRUE;
}

void CControlBarInfo::Serialize(CArchive& ar, CDockState* pDockState)
{
    bool bVersion2 = pDockState->GetVersion() > 1;
    if (ar.IsStoring())
    {
        ar << (DWORD)m_nBarID << (DWORD)m_bVisible << (DWORD)m_bFloating << (DWORD)m_bHorz;
        ar << m_pointPos.x << m_pointPos.y;
        if (bVersion2)
        {
            ar << m_nMRUWidth << (DWORD)m_bDocking;
            if (m_bDocking)
            {
                ar << (DWORD)m_uMRUDockID << m_rectMRUDockPos.left << m_rectMRUDockPos.top
                   << m_rectMRUDockPos.right << m_rectMRUDockPos.bottom << m_dwMRUFloatStyle
                   << m_ptMRUFloatPos.x << m_ptMRUFloatPos.y;
            }
        }
        ar << (WORD)m_arrBarID.GetSize();
        for (int i = 0; i < (int)m_arrBarID.GetSize(); ++i)
            ar << m_arrBarID[i];
        return;
    }
    DWORD dwID, dwVisible, dwFloating, dwHorz;
    ar >> dwID >> dwVisible >> dwFloating >> dwHorz;
    m_nBarID = dwID;
    m_bDockBar = IsDockBarID(m_nBarID);
    m_bVisible = dwVisible != 0;
    m_bFloating = dwFloating != 0;
    m_bHorz = dwHorz != 0;
    ar >> m_pointPos.x >> m_pointPos.y;
    pDockState->ScalePoint(m_pointPos);
    if (bVersion2)
    {
        DWORD dwDocking;
        ar >> m_nMRUWidth >> dwDocking;
        m_bDocking = dwDocking != 0;
        if (m_bDocking)
        {
            DWORD dwDockID;
            ar >> dwDockID >> m_rectMRUDockPos.left >> m_rectMRUDockPos.top >> m_rectMRUDockPos.right >>
                m_rectMRUDockPos.bottom >> m_dwMRUFloatStyle >> m_ptMRUFloatPos.x >> m_ptMRUFloatPos.y;
            m_uMRUDockID = dwDockID;
            pDockState->ScaleRectPos(m_rectMRUDockPos);
            pDockState->ScalePoint(m_ptMRUFloatPos);
        }
    }
    WORD wCount;
    ar >> wCount;
    m_arrBarID.SetSize(wCount);
    for (int i = 0; i < (int)wCount; ++i)
        ar >> m_arrBarID[i];
}

// ------------------------------------------------------------------ state

CDockState::CDockState() : m_dwVersion(kVersion), m_sizeScreen(CurrentScreen())
{
}

CDockState::~CDockState()
{
    Clear();
}

void CDockState::Clear()
{
    for (int i = 0; i < (int)m_arrBarInfo.GetSize(); ++i)
        delete (CControlBarInfo*)m_arrBarInfo[i];
    m_arrBarInfo.RemoveAll();
}

void CDockState::ScalePoint(CPoint& pt) const
{
    CSize current = CurrentScreen();
    if (m_sizeScreen == current || pt == CPoint(kNoPosition, kNoPosition))
        return;
    pt.x = ::MulDiv(pt.x, current.cx, m_sizeScreen.cx);
    pt.y = ::MulDiv(pt.y, current.cy, m_sizeScreen.cy);
}

void CDockState::ScaleRectPos(CRect& rect) const
{
    CPoint topLeft = rect.TopLeft();
    ScalePoint(topLeft);
    rect.OffsetRect(topLeft - rect.TopLeft());
}

void CDockState::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        ar << (DWORD)kVersion << m_sizeScreen.cx << m_sizeScreen.cy;
        ar << (WORD)m_arrBarInfo.GetSize();
        for (int i = 0; i < (int)m_arrBarInfo.GetSize(); ++i)
            ((CControlBarInfo*)m_arrBarInfo[i])->Serialize(ar, this);
        return;
    }
    Clear();
    try
    {
        ar >> m_dwVersion;
        if (m_dwVersion != 1 && m_dwVersion != kVersion)
            AfxThrowArchiveException(CArchiveException::badSchema);
        m_sizeScreen = CurrentScreen();
        if (m_dwVersion > 1)
        {
            ar >> m_sizeScreen.cx >> m_sizeScreen.cy;
            if (m_sizeScreen.cx <= 0 || m_sizeScreen.cy <= 0)
                AfxThrowArchiveException(CArchiveException::badIndex);
        }
        WORD wCount;
        ar >> wCount;
        for (int i = 0; i < (int)wCount; ++i)
        {
            CControlBarInfo* pInfo = new CControlBarInfo;
            m_arrBarInfo.Add(pInfo);
            pInfo->Serialize(ar, this);
        }
    }
    catch (CException*)
    {
        Clear();
        m_dwVersion = kVersion;
        throw;
    }
    m_dwVersion = kVersion;
}

BOOL CDockState::LoadState(LPCTSTR lpszProfileName)
{
    Clear();
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return FALSE;
    ProfileSection summary(pApp, SummaryName(lpszProfileName));
    int nBars = summary.Read(TEXT("Bars"), 0);
    CSize screen(summary.Read(TEXT("ScreenCX"), 0), summary.Read(TEXT("ScreenCY"), 0));
    if (nBars == 0)
        return TRUE;  // nothing saved: an empty layout
    if (nBars < 0 || nBars > kMaxCount || screen.cx <= 0 || screen.cy <= 0)
        return FALSE;
    m_sizeScreen = screen;
    for (int i = 0; i < nBars; ++i)
    {
        CControlBarInfo* pInfo = new CControlBarInfo;
        m_arrBarInfo.Add(pInfo);
        if (!pInfo->LoadState(lpszProfileName, i, this))
        {
            Clear();
            return FALSE;
        }
    }
    return TRUE;
}

void CDockState::SaveState(LPCTSTR lpszProfileName)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return;
    int nIndex = 0;
    for (int i = 0; i < (int)m_arrBarInfo.GetSize(); ++i)
        nIndex += ((CControlBarInfo*)m_arrBarInfo[i])->SaveState(lpszProfileName, nIndex) ? 1 : 0;
    CString summary = SummaryName(lpszProfileName);
    pApp->WriteProfileInt(summary, TEXT("Bars"), nIndex);
    pApp->WriteProfileInt(summary, TEXT("ScreenCX"), m_sizeScreen.cx);
    pApp->WriteProfileInt(summary, TEXT("ScreenCY"), m_sizeScreen.cy);
}

// ----------------------------------------------------- bars and dock bars

void CControlBar::GetBarInfo(CControlBarInfo* pInfo)
{
    pInfo->m_nBarID = (UINT)GetDlgCtrlID() & 0xFFFF;
    pInfo->m_pBar = this;
    pInfo->m_bVisible = IsVisible();
    pInfo->m_nMRUWidth = m_nMRUWidth;
    if (m_pDockBar != NULL)
    {
        CRect rect;
        GetWindowRect(&rect);
        m_pDockBar->ScreenToClient(&rect);
        pInfo->m_pointPos = rect.TopLeft();
    }
    pInfo->m_bDocking = m_pDockContext != NULL;
    if (m_pDockContext != NULL)
    {
        pInfo->m_uMRUDockID = m_pDockContext->m_uMRUDockID;
        pInfo->m_rectMRUDockPos = m_pDockContext->m_rectMRUDockPos;
        pInfo->m_dwMRUFloatStyle = m_pDockContext->m_dwMRUFloatStyle;
        pInfo->m_ptMRUFloatPos = m_pDockContext->m_ptMRUFloatPos;
    }
}

void CControlBar::SetBarInfo(CControlBarInfo* pInfo, CFrameWnd*)
{
    m_nMRUWidth = pInfo->m_nMRUWidth;
    if (pInfo->m_bDocking && m_pDockContext != NULL)
    {
        m_pDockContext->m_uMRUDockID = pInfo->m_uMRUDockID;
        m_pDockContext->m_rectMRUDockPos = pInfo->m_rectMRUDockPos;
        m_pDockContext->m_dwMRUFloatStyle = pInfo->m_dwMRUFloatStyle & (CBRS_ALIGN_ANY | CBRS_FLOAT_MULTI);
        m_pDockContext->m_ptMRUFloatPos = pInfo->m_ptMRUFloatPos;
    }
    // The recorded visibility wins over a pending delayed show or hide.
    m_nStateFlags &= ~(delayHide | delayShow);
    UINT nFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (pInfo->m_bVisible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    if (m_pDockBar == NULL || pInfo->m_pointPos == CPoint(kNoPosition, kNoPosition))
        nFlags |= SWP_NOMOVE;
    SetWindowPos(NULL, pInfo->m_pointPos.x, pInfo->m_pointPos.y, 0, 0, nFlags);
}

void CDockBar::GetBarInfo(CControlBarInfo* pInfo)
{
    pInfo->m_nBarID = (UINT)GetDlgCtrlID() & 0xFFFF;
    pInfo->m_pBar = this;
    pInfo->m_bDockBar = TRUE;
    pInfo->m_bVisible = IsVisible();
    pInfo->m_bFloating = m_bFloating;
    if (m_bFloating)
    {
        pInfo->m_bHorz = (m_dwStyle & CBRS_ORIENT_HORZ) != 0;
        CRect rect;
        GetWindowRect(&rect);
        pInfo->m_pointPos = rect.TopLeft();
    }
    pInfo->m_arrBarID.RemoveAll();
    for (int i = 0; i < (int)m_arrBars.GetSize(); ++i)
    {
        void* pEntry = m_arrBars[i];
        if (pEntry == NULL)
            pInfo->m_arrBarID.Add(0);
        else if (IsPlaceholder(pEntry))
            pInfo->m_arrBarID.Add((DWORD)(UINT_PTR)pEntry | kPlaceholderFlag);
        else
            pInfo->m_arrBarID.Add((DWORD)((CControlBar*)pEntry)->GetDlgCtrlID() & 0xFFFF);
    }
}

void CDockBar::SetBarInfo(CControlBarInfo* pInfo, CFrameWnd* pFrameWnd)
{
    CPtrArray entries;
    for (int i = 0; i < (int)pInfo->m_arrBarID.GetSize(); ++i)
    {
        DWORD id = pInfo->m_arrBarID[i];
        if (id == 0)
            entries.Add(NULL);
        else if (id & kPlaceholderFlag)
            entries.Add((void*)(UINT_PTR)(id & 0xFFFF));
        else
            entries.Add(pFrameWnd->GetControlBar(id));
    }
    if (entries.GetSize() == 0)
        entries.Add(NULL);
    // Bars docked here that the record leaves out stay, in a row of their
    // own at the end: a later record may still take them elsewhere.
    for (int i = 1; i < (int)m_arrBars.GetSize(); ++i)
    {
        CControlBar* pBar = GetDockedControlBar(i);
        bool bListed = false;
        for (int k = 0; k < (int)entries.GetSize() && !bListed; ++k)
            bListed = entries[k] == pBar;
        if (pBar != NULL && !bListed)
        {
            entries.Add(pBar);
            entries.Add(NULL);
        }
    }
    std::vector<CControlBar*> bars;
    for (int i = 0; i < (int)entries.GetSize(); ++i)
    {
        if (entries[i] != NULL && !IsPlaceholder(entries[i]))
            bars.push_back((CControlBar*)entries[i]);
    }
    for (CControlBar* pBar : bars)
    {
        // Re-parent before leaving the old dock bar: an emptied floating
        // frame destroys its children.
        PrepareToDock(pBar);
        if (pBar->GetParent() != this)
            pBar->SetParent(this);
        if (pBar->m_pDockBar != NULL && pBar->m_pDockBar != this)
            pBar->m_pDockBar->RemoveControlBar(pBar);
        pBar->m_pDockBar = this;
        pBar->m_pDockSite = pFrameWnd;
    }
    m_arrBars.Copy(entries);
    if (CFrameWnd* pFrame = GetParentFrame())
        pFrame->DelayRecalcLayout();
}

// ------------------------------------------------------------------ frame

void CFrameWnd::GetDockState(CDockState& state)
{
    state.Clear();
    state.SetScreenSize(CurrentScreen());
    for (POSITION pos = m_listControlBars.GetHeadPosition(); pos != NULL;)
    {
        CControlBar* pBar = (CControlBar*)m_listControlBars.GetNext(pos);
        CControlBarInfo* pInfo = new CControlBarInfo;
        pBar->GetBarInfo(pInfo);
        state.m_arrBarInfo.Add(pInfo);
    }
}

BOOL CFrameWnd::SetDockState(const CDockState& state)
{
    if (!FitsFrame(state, this))
        return FALSE;
    int nCount = (int)state.m_arrBarInfo.GetSize();
    std::vector<CMiniDockFrameWnd*> floatingFrames;
    for (int i = 0; i < nCount; ++i)
    {
        CControlBarInfo* pInfo = (CControlBarInfo*)state.m_arrBarInfo[i];
        pInfo->m_pBar = NULL;
        if (!pInfo->m_bFloating)
        {
            pInfo->m_pBar = GetControlBar(pInfo->m_nBarID);
            continue;
        }
        CMiniDockFrameWnd* pMini = CreateFloatingFrame(pInfo->m_bHorz ? CBRS_ALIGN_TOP : CBRS_ALIGN_LEFT);
        if (pMini == NULL)
            continue;
        // The saved position is the dock bar's, inside the frame.
        CRect rect(pInfo->m_pointPos, CSize(10, 10));
        pMini->CalcWindowRect(&rect);
        pMini->SetWindowPos(NULL, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pInfo->m_pBar = &pMini->m_wndDockBar;
        floatingFrames.push_back(pMini);
    }
    // Dock bars first, so that each bar stands in its dock bar when its
    // own record places it.
    for (BOOL bDockBars : { TRUE, FALSE })
    {
        for (int i = 0; i < nCount; ++i)
        {
            CControlBarInfo* pInfo = (CControlBarInfo*)state.m_arrBarInfo[i];
            if (pInfo->m_pBar != NULL && pInfo->m_bDockBar == bDockBars)
                pInfo->m_pBar->SetBarInfo(pInfo, this);
        }
    }
    for (int i = 0; i < nCount; ++i)
        ((CControlBarInfo*)state.m_arrBarInfo[i])->m_pBar = NULL;
    for (CMiniDockFrameWnd* pMini : floatingFrames)
        pMini->RecalcLayout();
    RecalcLayout();
    return TRUE;
}

void CFrameWnd::SaveBarState(LPCTSTR lpszProfileName)
{
    CDockState state;
    GetDockState(state);
    state.SaveState(lpszProfileName);
}

BOOL CFrameWnd::LoadBarState(LPCTSTR lpszProfileName)
{
    CDockState state;
    return state.LoadState(lpszProfileName) && SetDockState(state);
}
