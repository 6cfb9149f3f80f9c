// Views: child windows of a frame that show a document.
//
// A view is made from its run-time class by a frame's OnCreateClient (or a
// splitter's CreateView) with a CCreateContext naming the document; it adds
// itself to that document in WM_CREATE and leaves it when its window goes,
// deleting itself (views are always made with new). WM_INITIALUPDATE calls
// OnInitialUpdate once the frame is complete. Painting goes through
// OnPrepareDC and OnDraw; printing through the same two with a printer DC
// (see print.h). Clicking a view makes it its frame's active view, which
// gets the commands first: view, document, template, then the frames and
// the application (CFrameWnd::OnCmdMsg).
//
// CScrollView keeps a scroll position in device pixels and sets the
// viewport origin of every DC it prepares to minus that position, so OnDraw
// draws in document coordinates. Scroll codes pack the horizontal code in
// the low byte and the vertical one in the high byte (0xFF: none).
#pragma once

#include <framework/controls.h>
#include <framework/frame.h>
#include <framework/print.h>

class CDocument;
class COleDataObject;

// The style of a view window.
#define AFX_WS_DEFAULT_VIEW (WS_CHILD | WS_VISIBLE | WS_BORDER)

class CView : public CWnd
{
    DECLARE_DYNAMIC(CView)
public:
    CDocument* GetDocument() const { return m_pDocument; }
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    // Drawing.
    virtual void OnDraw(CDC* pDC) = 0;
    // Sets up pDC for OnDraw; when printing a job of unknown length, ends
    // the job after page 1.
    virtual void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo = NULL);

    // Updates.
    virtual void OnInitialUpdate() { OnUpdate(NULL, 0, NULL); }
    // Called by UpdateAllViews; repaints the whole view.
    virtual void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint);
    virtual void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView);
    virtual void OnActivateFrame(UINT nState, CFrameWnd* pFrameWnd) { (void)nState; (void)pFrameWnd; }

    // Scrolling, for views that scroll (CScrollView). nPos is the thumb
    // position; bDoScroll FALSE only asks whether the view would scroll.
    virtual BOOL OnScroll(UINT nScrollCode, UINT nPos, BOOL bDoScroll = TRUE);
    virtual BOOL OnScrollBy(CSize sizeScroll, BOOL bDoScroll = TRUE);

    // Printing (see print.h).
    virtual BOOL OnPreparePrinting(CPrintInfo* pInfo) { return DoPreparePrinting(pInfo); }
    // The print dialog (or the printer DC handler); FALSE when cancelled or
    // when there is no printer.
    BOOL DoPreparePrinting(CPrintInfo* pInfo);
    virtual void OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo) { (void)pDC; (void)pInfo; }
    virtual void OnPrint(CDC* pDC, CPrintInfo* pInfo);
    virtual void OnEndPrinting(CDC* pDC, CPrintInfo* pInfo) { (void)pDC; (void)pInfo; }

    // Drops, from a COleDropTarget registered for the view whose handlers
    // are not overridden (see ole.h): the effect the view would give, or
    // whether it took the data. By default a view takes nothing.
    virtual DWORD OnDragEnter(COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual DWORD OnDragOver(COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual void OnDragLeave() {}
    virtual BOOL OnDrop(COleDataObject* pDataObject, DWORD dropEffect, CPoint point);

protected:
    CView();
    ~CView();
    void PostNcDestroy() override { delete this; }

    afx_msg int OnCreate(LPCREATESTRUCT lpcs);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);
    afx_msg LRESULT OnInitialUpdateMessage(WPARAM, LPARAM);
    afx_msg void OnFilePrint();

    CDocument* m_pDocument;
    friend class CDocument;
    DECLARE_MESSAGE_MAP()
};

class CScrollView : public CView
{
    DECLARE_DYNAMIC(CScrollView)
public:
    static const SIZE sizeDefault;  // (0, 0): a tenth of the total, and a tenth of that

    // Sizes are in the logical units of nMapMode.
    void SetScrollSizes(int nMapMode, SIZE sizeTotal, const SIZE& sizePage = sizeDefault,
                        const SIZE& sizeLine = sizeDefault);
    CSize GetTotalSize() const { return m_totalLog; }
    int GetMapMode() const { return m_nMapMode; }
    // The scroll position in logical units, and in device pixels.
    CPoint GetScrollPosition() const;
    CPoint GetDeviceScrollPosition() const;
    void GetDeviceScrollSizes(int& nMapMode, SIZE& sizeTotal, SIZE& sizePage, SIZE& sizeLine) const;
    // Scrolls so that pt (logical) is the top left, within the scroll limits.
    void ScrollToPosition(POINT pt);

    void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo = NULL) override;
    BOOL OnScroll(UINT nScrollCode, UINT nPos, BOOL bDoScroll = TRUE) override;
    // Moves by sizeScroll pixels as far as the scroll limits allow; FALSE
    // when it could not move at all.
    BOOL OnScrollBy(CSize sizeScroll, BOOL bDoScroll = TRUE) override;

protected:
    CScrollView();

    // Shows the bars the total size needs in the client area and sets their ranges.
    void UpdateBars();
    // The client size with no scroll bars shown.
    CSize GetTrueClientSize() const;
    // The largest position of a bar (total minus page), 0 without a bar.
    int GetScrollLimit(int nBar) const;

    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);

    int m_nMapMode;
    CSize m_totalLog;  // logical units
    CSize m_totalDev;  // device pixels, like the three below
    CSize m_pageDev;
    CSize m_lineDev;
    BOOL m_bInsideUpdate;
    DECLARE_MESSAGE_MAP()
};

// A view that is a control window of another class (list view, list box):
// the control paints itself.
class CCtrlView : public CView
{
    DECLARE_DYNAMIC(CCtrlView)
public:
    CCtrlView(LPCTSTR lpszClass, DWORD dwStyle);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnDraw(CDC* pDC) override { (void)pDC; }

protected:
    afx_msg void OnPaint() { Default(); }

    CString m_strClass;
    DWORD m_dwDefaultStyle;
    DECLARE_MESSAGE_MAP()
};

// A view that is a list-view control.
class CListView : public CCtrlView
{
    DECLARE_DYNCREATE(CListView)
public:
    CListView();
    // The view as its control (CListCtrl adds no data to CWnd).
    CListCtrl& GetListCtrl() const { return *(CListCtrl*)this; }
};

// A scrolling view whose contents are a child dialog made from a template.
class CFormView : public CScrollView
{
    DECLARE_DYNAMIC(CFormView)
public:
    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID, CCreateContext* pContext = NULL) override;
    void OnDraw(CDC* pDC) override { (void)pDC; }
    void OnInitialUpdate() override;

protected:
    explicit CFormView(UINT nIDTemplate);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    afx_msg int OnCreate(LPCREATESTRUCT lpcs);
    afx_msg void OnPaint() { Default(); }

    LPCTSTR m_lpszTemplateName;
    CCreateContext* m_pCreateContext;  // set while the dialog is being made
    DECLARE_MESSAGE_MAP()
};
