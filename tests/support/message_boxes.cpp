#include "message_boxes.h"

#include "resource.h"

namespace {

MessageBoxCapture* g_pCapture = nullptr;  // the live capture of this test thread

std::string WindowText(HWND hWnd)
{
    char sz[1024] = {};
    GetWindowTextA(hWnd, sz, sizeof sz);
    return sz;
}

std::string ClassName(HWND hWnd)
{
    char sz[64] = {};
    GetClassNameA(hWnd, sz, sizeof sz);
    return sz;
}

// A message box is a dialog-class window that, unlike the main dialog, has
// no level list.
bool IsMessageBox(HWND hWnd)
{
    return ClassName(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_LEVELLIST) == nullptr;
}

BOOL CALLBACK ReadChild(HWND hChild, LPARAM lParam)
{
    auto* pRecord = reinterpret_cast<MessageBoxRecord*>(lParam);
    // The box itself is not shown yet: look at each control's own style.
    const LONG style = GetWindowLongA(hChild, GWL_STYLE);
    if ((style & WS_VISIBLE) == 0) {
        return TRUE;
    }
    const std::string cls = ClassName(hChild);
    if (cls == "Button") {
        pRecord->buttons.push_back(GetDlgCtrlID(hChild));
    } else if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        pRecord->hasIcon = pRecord->hasIcon || SendMessageA(hChild, STM_GETICON, 0, 0) != 0;
    } else if (cls == "Static") {
        const std::string text = WindowText(hChild);
        if (!text.empty() && pRecord->text.empty()) pRecord->text = text;
    }
    return TRUE;
}

}  // namespace

MessageBoxCapture::MessageBoxCapture()
{
    g_pCapture = this;
    // After WM_INITDIALOG has returned, the box's controls hold their texts.
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, HookProc, nullptr, GetCurrentThreadId());
}

MessageBoxCapture::~MessageBoxCapture()
{
    UnhookWindowsHookEx(hook_);
    g_pCapture = nullptr;
}

std::vector<std::string> MessageBoxCapture::Summary() const
{
    std::vector<std::string> out;
    for (const auto& box : boxes_) out.push_back(box.caption + "|" + box.text);
    return out;
}

LRESULT CALLBACK MessageBoxCapture::HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto* pMsg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (nCode == HC_ACTION && g_pCapture != nullptr && pMsg->message == WM_INITDIALOG && IsMessageBox(pMsg->hwnd)) {
        HWND hWnd = pMsg->hwnd;
        MessageBoxRecord record;
        record.caption = WindowText(hWnd);
        record.owner = GetWindow(hWnd, GW_OWNER);
        EnumChildWindows(hWnd, ReadChild, reinterpret_cast<LPARAM>(&record));
        const int nButton = record.buttons.empty() ? IDOK : record.buttons.front();
        g_pCapture->boxes_.push_back(record);
        PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}
