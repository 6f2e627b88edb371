#pragma once
// The drop source that a drag out of a document runs with: it wraps the
// application's own drop source for one DoDragDrop call, lets it answer, and
// overrides the answer where the source document's letters demand (no drag at
// all, or a drop only inside the document).
#include <ole2.h>

class CZelDropSource : public IDropSource {
public:
    // dropFlag: GetDocDropFlag of docWnd (automation_rules.h).
    CZelDropSource(IDropSource* pDropSource, HWND hLButtonDownWnd, HWND hRButtonDownWnd, HWND hDocWnd, int dropFlag);
    virtual ~CZelDropSource();
    CZelDropSource(const CZelDropSource&) = delete;
    CZelDropSource& operator=(const CZelDropSource&) = delete;

    // Lives on the stack of the drag: it holds no reference of its own on the
    // application's source and counts none itself; reference calls reach the
    // application's object, and an interface asked for is the application's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD dwEffect) override;

    // Run at every step of the drag: an Alt+Tab seen since the last step
    // (it is consumed here) ends a drag that may only stay in its document.
    bool CheckDragAllowed();
    // Run when the application asks for the drop.
    bool CheckDropAllowed();
    bool IsButtonUpInDoc() const;
    bool IsCursorInDoc() const;
    bool IsActiveDocSame() const;

private:
    IDropSource* m_pDropSource;
    HWND m_hLButtonDownWnd;
    HWND m_hRButtonDownWnd;
    HWND m_hDocWnd;
    int g_ZelDocFlag;
};
