#include <framework/framework.h>

#include <algorithm>

IMPLEMENT_DYNAMIC(CSplitterWnd, CWnd)

namespace
{
const int kMaxPanes = 16;  // rows or columns; pane ids leave 16 per row
const int kColumnBarBase = 16;
}  // namespace

BEGIN_MESSAGE_MAP(CSplitterWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_PAINT()
    ON_WM_SETCURSOR()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

CSplitterWnd::CSplitterWnd()
    : m_nMaxRows(0), m_nMaxCols(0), m_nRows(0), m_nCols(0), m_pRowInfo(NULL), m_pColInfo(NULL),
      m_nTrackBar(-1), m_nTrackOffset(0)
{
}

CSplitterWnd::~CSplitterWnd()
{
    delete[] m_pRowInfo;
    delete[] m_pColInfo;
}

BOOL CSplitterWnd::CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle, UINT nID)
{
    if (nRows < 1 || nCols < 1 || nRows > kMaxPanes || nCols > kMaxPanes || m_hWnd != NULL)
        return FALSE;
    m_nMaxRows = m_nRows = nRows;
    m_nMaxCols = m_nCols = nCols;
    delete[] m_pRowInfo;
    delete[] m_pColInfo;
    m_pRowInfo = new CRowColInfo[nRows]();
    m_pColInfo = new CRowColInfo[nCols]();
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, NULL, (HBRUSH)(COLOR_BTNFACE + 1));
    return CreateEx(0, lpszClass, NULL, dwStyle | WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), pParentWnd, nID);
}

BOOL CSplitterWnd::CreateView(int row, int col, CRuntimeClass* pViewClass, SIZE sizeInit, CCreateContext* pContext)
{
    if (row < 0 || row >= m_nMaxRows || col < 0 || col >= m_nMaxCols || GetPane(row, col) != NULL)
        return FALSE;
    m_pRowInfo[row].nIdealSize = sizeInit.cy;
    m_pColInfo[col].nIdealSize = sizeInit.cx;
    CCreateContext context;
    if (pContext != NULL)
        context = *pContext;
    context.m_pNewViewClass = pViewClass;
    if (AfxCreatePane(this, &context, IdFromRowCol(row, col)) == NULL)
        return FALSE;
    RecalcLayout();
    return TRUE;
}

BOOL CSplitterWnd::IsChildPane(CWnd* pWnd, int* pRow, int* pCol) const
{
    if (pWnd == NULL || ::GetParent(pWnd->m_hWnd) != m_hWnd)
        return FALSE;
    int nOffset = pWnd->GetDlgCtrlID() - AFX_IDW_PANE_FIRST;
    int row = nOffset / kMaxPanes, col = nOffset % kMaxPanes;
    if (nOffset < 0 || row >= m_nRows || col >= m_nCols)
        return FALSE;
    if (pRow != NULL)
        *pRow = row;
    if (pCol != NULL)
        *pCol = col;
    return TRUE;
}

void CSplitterWnd::GetRowInfo(int row, int& cyCur, int& cyMin) const
{
    cyCur = m_pRowInfo[row].nCurSize;
    cyMin = m_pRowInfo[row].nMinSize;
}

void CSplitterWnd::SetRowInfo(int row, int cyIdeal, int cyMin)
{
    m_pRowInfo[row].nIdealSize = cyIdeal;
    m_pRowInfo[row].nMinSize = cyMin;
}

void CSplitterWnd::GetColumnInfo(int col, int& cxCur, int& cxMin) const
{
    cxCur = m_pColInfo[col].nCurSize;
    cxMin = m_pColInfo[col].nMinSize;
}

void CSplitterWnd::SetColumnInfo(int col, int cxIdeal, int cxMin)
{
    m_pColInfo[col].nIdealSize = cxIdeal;
    m_pColInfo[col].nMinSize = cxMin;
}

CWnd* CSplitterWnd::GetActivePane(int* pRow, int* pCol)
{
    CFrameWnd* pFrame = GetParentFrame();
    CWnd* pView = pFrame != NULL ? (CWnd*)pFrame->GetActiveView() : NULL;
    return IsChildPane(pView, pRow, pCol) ? pView : NULL;
}

void CSplitterWnd::SetActivePane(int row, int col, CWnd* pWnd)
{
    CWnd* pPane = pWnd != NULL ? pWnd : GetPane(row, col);
    CView* pView = DYNAMIC_DOWNCAST(CView, pPane);
    CFrameWnd* pFrame = GetParentFrame();
    if (pView != NULL && pFrame != NULL)
        pFrame->SetActiveView(pView);
    else if (pPane != NULL)
        pPane->SetFocus();
}

void CSplitterWnd::LayoutRowCol(CRowColInfo* pInfo, int nCount, int nSize)
{
    int nLeft = nSize - splitterSize * (nCount - 1);
    for (int i = 0; i < nCount - 1; ++i)
    {
        int nPane = std::min(pInfo[i].nIdealSize, std::max(nLeft, 0));
        if (nPane < pInfo[i].nMinSize)
            nPane = 0;  // too small to be of use: hidden
        pInfo[i].nCurSize = nPane;
        nLeft -= nPane;
    }
    pInfo[nCount - 1].nCurSize = std::max(nLeft, 0);
}

void CSplitterWnd::RecalcLayout()
{
    if (m_hWnd == NULL || m_nRows == 0 || m_nCols == 0)
        return;
    CRect client;
    GetClientRect(&client);
    LayoutRowCol(m_pColInfo, m_nCols, client.Width());
    LayoutRowCol(m_pRowInfo, m_nRows, client.Height());
    HDWP hDWP = ::BeginDeferWindowPos(m_nRows * m_nCols);
    int y = 0;
    for (int row = 0; row < m_nRows; ++row)
    {
        int x = 0;
        for (int col = 0; col < m_nCols; ++col)
        {
            if (CWnd* pPane = GetPane(row, col))
                hDWP = ::DeferWindowPos(hDWP, pPane->m_hWnd, NULL, x, y, m_pColInfo[col].nCurSize,
                                        m_pRowInfo[row].nCurSize, SWP_NOZORDER | SWP_NOACTIVATE);
            x += m_pColInfo[col].nCurSize + splitterSize;
        }
        y += m_pRowInfo[row].nCurSize + splitterSize;
    }
    ::EndDeferWindowPos(hDWP);
    Invalidate(TRUE);
}

CRect CSplitterWnd::BarRect(int nBar) const
{
    CRect client;
    GetClientRect(&client);
    BOOL bColumn = nBar >= kColumnBarBase;
    int nIndex = bColumn ? nBar - kColumnBarBase : nBar;
    const CRowColInfo* pInfo = bColumn ? m_pColInfo : m_pRowInfo;
    int nStart = 0;
    for (int i = 0; i <= nIndex; ++i)
        nStart += pInfo[i].nCurSize + (i < nIndex ? splitterSize : 0);
    return bColumn ? CRect(nStart, 0, nStart + splitterSize, client.bottom)
                   : CRect(0, nStart, client.right, nStart + splitterSize);
}

int CSplitterWnd::HitTestBar(CPoint point) const
{
    for (int row = 0; row < m_nRows - 1; ++row)
    {
        if (BarRect(row).PtInRect(point))
            return row;
    }
    for (int col = 0; col < m_nCols - 1; ++col)
    {
        if (BarRect(kColumnBarBase + col).PtInRect(point))
            return kColumnBarBase + col;
    }
    return -1;
}

void CSplitterWnd::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    RecalcLayout();
}

void CSplitterWnd::OnPaint()
{
    CPaintDC dc(this);
    for (int row = 0; row < m_nRows - 1; ++row)
        dc.Draw3dRect(BarRect(row), ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
    for (int col = 0; col < m_nCols - 1; ++col)
        dc.Draw3dRect(BarRect(kColumnBarBase + col), ::GetSysColor(COLOR_BTNHIGHLIGHT),
                      ::GetSysColor(COLOR_BTNSHADOW));
}

BOOL CSplitterWnd::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    if (nHitTest == HTCLIENT && pWnd == this)
    {
        CPoint point;
        ::GetCursorPos(&point);
        ScreenToClient(&point);
        int nBar = m_nTrackBar >= 0 ? m_nTrackBar : HitTestBar(point);
        if (nBar >= 0)
        {
            ::SetCursor(::LoadCursor(NULL, nBar >= kColumnBarBase ? IDC_SIZEWE : IDC_SIZENS));
            return TRUE;
        }
    }
    return CWnd::OnSetCursor(pWnd, nHitTest, message);
}

void CSplitterWnd::OnLButtonDown(UINT, CPoint point)
{
    m_nTrackBar = HitTestBar(point);
    if (m_nTrackBar < 0)
        return;
    CRect bar = BarRect(m_nTrackBar);
    m_nTrackOffset = m_nTrackBar >= kColumnBarBase ? point.x - bar.left : point.y - bar.top;
    SetCapture();
}

void CSplitterWnd::OnMouseMove(UINT, CPoint point)
{
    if (m_nTrackBar < 0)
        return;
    // The row or column before the bar takes the bar's new place as its size.
    BOOL bColumn = m_nTrackBar >= kColumnBarBase;
    int nIndex = bColumn ? m_nTrackBar - kColumnBarBase : m_nTrackBar;
    CRowColInfo* pInfo = bColumn ? m_pColInfo : m_pRowInfo;
    CRect bar = BarRect(m_nTrackBar);
    int nStart = (bColumn ? bar.left : bar.top) - pInfo[nIndex].nCurSize;
    int nSize = (bColumn ? point.x : point.y) - m_nTrackOffset - nStart;
    pInfo[nIndex].nIdealSize = std::max(nSize, 0);
    RecalcLayout();
}

void CSplitterWnd::OnLButtonUp(UINT, CPoint)
{
    if (m_nTrackBar >= 0)
        ::ReleaseCapture();
}

void CSplitterWnd::OnCaptureChanged(CWnd*)
{
    m_nTrackBar = -1;
}
