#include "guards/automation/zel_drop_source.h"

#include "host/process_context.h"
#include "identify/button_tracking.h"
#include "identify/common_doc.h"
#include "store/shared_settings.h"

namespace {

// a lies in b: the same window or a descendant of it.
bool LiesIn(HWND a, HWND b) { return a == b || IsChild(b, a); }
bool Related(HWND a, HWND b) { return LiesIn(a, b) || LiesIn(b, a); }

bool BlockedByPinning() {
    const ButtonTracks t = CurrentButtonTracks();
    return t.left.blocked || t.right.blocked;
}

}  // namespace

CZelDropSource::CZelDropSource(IDropSource* pDropSource, HWND hLButtonDownWnd, HWND hRButtonDownWnd, HWND hDocWnd,
                               int dropFlag)
    : m_pDropSource(pDropSource),
      m_hLButtonDownWnd(hLButtonDownWnd),
      m_hRButtonDownWnd(hRButtonDownWnd),
      m_hDocWnd(hDocWnd),
      g_ZelDocFlag(dropFlag) {}

CZelDropSource::~CZelDropSource() {
    m_pDropSource = nullptr;
    m_hLButtonDownWnd = nullptr;
    m_hRButtonDownWnd = nullptr;
    m_hDocWnd = nullptr;
}

HRESULT STDMETHODCALLTYPE CZelDropSource::QueryInterface(REFIID riid, void** ppv) {
    if (!m_pDropSource) {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return m_pDropSource->QueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CZelDropSource::AddRef() { return m_pDropSource ? m_pDropSource->AddRef() : 1; }

ULONG STDMETHODCALLTYPE CZelDropSource::Release() { return m_pDropSource ? m_pDropSource->Release() : 0; }

HRESULT STDMETHODCALLTYPE CZelDropSource::QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) {
    if (!CheckDragAllowed() || !m_pDropSource) return DRAGDROP_S_CANCEL;
    const HRESULT r = m_pDropSource->QueryContinueDrag(fEscapePressed, grfKeyState);
    if (r != DRAGDROP_S_DROP) return r;
    return CheckDropAllowed() ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}

HRESULT STDMETHODCALLTYPE CZelDropSource::GiveFeedback(DWORD dwEffect) {
    return m_pDropSource ? m_pDropSource->GiveFeedback(dwEffect) : S_OK;
}

bool CZelDropSource::CheckDragAllowed() {
    const bool altTab = store::GetAltTabFlag() != 0;
    if (altTab) store::SetAltTabFlag(0);
    switch (g_ZelDocFlag) {
        case 0:
            return true;
        case 1:
            return false;
        case 2:
            return !altTab;
        case 3:
            return true;
        default:
            return false;
    }
}

bool CZelDropSource::CheckDropAllowed() {
    if (BlockedByPinning()) return false;
    switch (g_ZelDocFlag) {
        case 0:
        case 3:
            return true;
        case 2:
            return CheckDragAllowed() && IsButtonUpInDoc() && IsCursorInDoc() && IsActiveDocSame();
        default:
            return false;
    }
}

bool CZelDropSource::IsButtonUpInDoc() const {
    const HWND upL = GetButtonWnd(WM_LBUTTONUP);
    const HWND upR = GetButtonWnd(WM_RBUTTONUP);
    if (m_hDocWnd && upL && !LiesIn(upL, m_hDocWnd)) return false;
    if (m_hDocWnd && upR && !LiesIn(upR, m_hDocWnd)) return false;
    if (upL && m_hLButtonDownWnd && !Related(upL, m_hLButtonDownWnd)) return false;
    if (upR && m_hRButtonDownWnd && !Related(upR, m_hRButtonDownWnd)) return false;
    return true;
}

bool CZelDropSource::IsCursorInDoc() const {
    POINT pt{};
    if (!GetCursorPos(&pt)) return false;  // nowhere known: not in the document
    const HWND w = WindowFromPoint(pt);
    if (m_hDocWnd && w && !LiesIn(w, m_hDocWnd)) return false;
    if (m_hLButtonDownWnd && w && !Related(w, m_hLButtonDownWnd)) return false;
    if (m_hRButtonDownWnd && w && !Related(w, m_hRButtonDownWnd)) return false;
    return true;
}

bool CZelDropSource::IsActiveDocSame() const {
    CCommonDoc* doc = DocObject();
    if (!doc) return true;
    _ZEL_HOOK_INFO_ rec{};
    return doc->IsLimitedZelDoc(rec) && DocWndOf(rec) == m_hDocWnd;
}
