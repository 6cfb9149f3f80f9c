// A static splitter window: a fixed grid of panes (usually views) with
// splitter bars between them.
//
// Panes are child windows with the ids AFX_IDW_PANE_FIRST + row * 16 +
// column (IdFromRowCol); the splitter itself usually is its frame's
// AFX_IDW_PANE_FIRST. Each row and column keeps a current, an ideal and a
// minimum size: RecalcLayout gives every row and column but the last its
// ideal size (nothing when it would fall below the minimum), the last one
// the rest. The active pane is the frame's active view when that is one of
// the splitter's panes. Dragging a bar sets the ideal size of the row or
// column before it.
#pragma once

#include <framework/frame.h>

class CSplitterWnd : public CWnd
{
    DECLARE_DYNAMIC(CSplitterWnd)
public:
    CSplitterWnd();
    ~CSplitterWnd();

    // nRows x nCols panes (at most 16 each); FALSE when the window cannot be made.
    BOOL CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle = WS_CHILD | WS_VISIBLE,
                      UINT nID = AFX_IDW_PANE_FIRST);
    // Makes the pane (row, col) from pViewClass, its ideal size sizeInit;
    // the context names the document. FALSE when the view cannot be made.
    virtual BOOL CreateView(int row, int col, CRuntimeClass* pViewClass, SIZE sizeInit,
                            CCreateContext* pContext);

    int GetRowCount() const { return m_nRows; }
    int GetColumnCount() const { return m_nCols; }
    CWnd* GetPane(int row, int col) const { return GetDlgItem(IdFromRowCol(row, col)); }
    int IdFromRowCol(int row, int col) const { return AFX_IDW_PANE_FIRST + row * 16 + col; }
    // FALSE when pWnd is not a pane of this splitter.
    BOOL IsChildPane(CWnd* pWnd, int* pRow, int* pCol) const;

    void GetRowInfo(int row, int& cyCur, int& cyMin) const;
    void SetRowInfo(int row, int cyIdeal, int cyMin);
    void GetColumnInfo(int col, int& cxCur, int& cxMin) const;
    void SetColumnInfo(int col, int cxIdeal, int cxMin);

    // The active pane (the frame's active view when it is one of ours), or NULL.
    virtual CWnd* GetActivePane(int* pRow = NULL, int* pCol = NULL);
    // Makes the pane (or pWnd) the frame's active view and gives it the focus.
    virtual void SetActivePane(int row, int col, CWnd* pWnd = NULL);
    virtual void RecalcLayout();

    enum { splitterSize = 6 };  // width of a bar between two panes

protected:
    struct CRowColInfo
    {
        int nMinSize;
        int nIdealSize;
        int nCurSize;
    };
    // Lays sizes along one direction: every entry but the last gets its
    // ideal size while it fits; the last gets what is left.
    static void LayoutRowCol(CRowColInfo* pInfo, int nCount, int nSize);
    // The bar under point: row bars are 0..m_nRows-2, column bars 16 on; -1 for none.
    int HitTestBar(CPoint point) const;
    CRect BarRect(int nBar) const;

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnPaint();
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnCaptureChanged(CWnd* pWnd);

    int m_nMaxRows, m_nMaxCols;  // the panes made
    int m_nRows, m_nCols;        // the panes shown (a derived splitter may hide some)
    CRowColInfo* m_pRowInfo;     // m_nMaxRows entries
    CRowColInfo* m_pColInfo;     // m_nMaxCols entries
    int m_nTrackBar;             // the bar being dragged, or -1
    int m_nTrackOffset;          // where in the bar it was grabbed
    DECLARE_MESSAGE_MAP()
};
