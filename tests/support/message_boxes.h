// Records the message boxes a test's code shows and closes each at once, so
// that nobody has to click them. Used by the dialog tests and, on Windows,
// by the core tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One message box as it was shown.
struct MessageBoxRecord {
    std::string caption;       // ANSI (Windows-1252) bytes
    std::string text;          // ANSI (Windows-1252) bytes
    std::vector<int> buttons;  // identifiers of the visible buttons (IDOK = 1, ...)
    bool hasIcon = false;
    HWND owner = nullptr;
};

// Records every message box shown on this thread while it lives, and closes
// each one at once by pressing its first button. One at a time per thread.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }
    // Captions and texts only, "caption|text", in the order shown.
    std::vector<std::string> Summary() const;
    void Clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
    std::vector<MessageBoxRecord> boxes_;
};
