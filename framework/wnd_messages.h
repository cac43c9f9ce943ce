// Message-map entries for windows. Each entry names the handler's signature
// above it; the handler is a member of the class whose map holds the entry
// (it may be protected or private), and a virtual handler is called through
// the virtual table. ON_COMMAND is in framework/cmdtarget.h.
#pragma once

// Thunk of an entry: the body (the variadic part) sees `self` (the object), `wParam` and `lParam`.
#define KG_MESSAGE_ENTRY(message, code, firstId, lastId, ...)                                                    \
    {static_cast<UINT>(message), static_cast<UINT>(code), static_cast<UINT>(firstId), static_cast<UINT>(lastId), \
     [](::kg::CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT {                                     \
         ThisClass* self = static_cast<ThisClass*>(target);                                                      \
         static_cast<void>(wParam);                                                                              \
         static_cast<void>(lParam);                                                                              \
         __VA_ARGS__                                                                                             \
     }},

// void OnSysCommand(UINT id, LPARAM lParam)
#define ON_WM_SYSCOMMAND() \
    KG_MESSAGE_ENTRY(WM_SYSCOMMAND, 0, 0, 0, self->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;)

// void OnPaint()
#define ON_WM_PAINT() KG_MESSAGE_ENTRY(WM_PAINT, 0, 0, 0, self->OnPaint(); return 0;)

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON() \
    KG_MESSAGE_ENTRY(WM_QUERYDRAGICON, 0, 0, 0, return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());)

// BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message): the window under
// the cursor (may be temporary), the hit-test code, the mouse message.
#define ON_WM_SETCURSOR()                                                                                             \
    KG_MESSAGE_ENTRY(WM_SETCURSOR, 0, 0, 0,                                                                           \
                     return self->OnSetCursor(::kg::CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), \
                                              HIWORD(lParam));)

// void OnSize(UINT type, int cx, int cy)
#define ON_WM_SIZE()                                                                             \
    KG_MESSAGE_ENTRY(WM_SIZE, 0, 0, 0,                                                           \
                     self->OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), \
                                  static_cast<short>(HIWORD(lParam)));                           \
                     return 0;)

// void OnDestroy()
#define ON_WM_DESTROY() KG_MESSAGE_ENTRY(WM_DESTROY, 0, 0, 0, self->OnDestroy(); return 0;)

// BOOL OnEraseBkgnd(CDC* dc): `dc` is borrowed for the call.
#define ON_WM_ERASEBKGND()                                                                \
    KG_MESSAGE_ENTRY(WM_ERASEBKGND, 0, 0, 0, ::kg::CDC dc(reinterpret_cast<HDC>(wParam)); \
                     return self->OnEraseBkgnd(&dc);)

// LRESULT memberFxn(WPARAM wParam, LPARAM lParam)
#define ON_MESSAGE(message, memberFxn) KG_MESSAGE_ENTRY(message, 0, 0, 0, return self->memberFxn(wParam, lParam);)

// void memberFxn(): a button's click, from the parent's point of view.
#define ON_BN_CLICKED(id, memberFxn) KG_MESSAGE_ENTRY(WM_COMMAND, BN_CLICKED, id, id, self->memberFxn(); return 0;)

// HBRUSH CtlColor(CDC* dc, UINT ctlColor): the parent's WM_CTLCOLOR*
// request for this control, reflected. `dc` is borrowed for the call;
// `ctlColor` is the CTLCOLOR_* kind. A null brush leaves the request to the
// parent.
#define ON_WM_CTLCOLOR_REFLECT()                                                                      \
    KG_MESSAGE_ENTRY(::kg::WM_REFLECT_CTLCOLOR, 0, 0, 0, ::kg::CDC dc(reinterpret_cast<HDC>(wParam)); \
                     return reinterpret_cast<LRESULT>(self->CtlColor(&dc, static_cast<UINT>(lParam)));)

// void memberFxn(): the control's own WM_COMMAND notification `code`
// (STN_CLICKED, ...), reflected; the parent does not see it then.
#define ON_CONTROL_REFLECT(code, memberFxn) \
    KG_MESSAGE_ENTRY(::kg::WM_REFLECT_COMMAND, code, 0, 0, self->memberFxn(); return 0;)
