// Message sequences for GUI tests. A MessageRecorder logs, on the thread that
// made it, each message to a window: sent messages to any window through a
// WH_CALLWNDPROC hook, and every message that a framework window's
// WindowProc receives through RecordedWindow<T>. Framework windows are
// logged by their WindowProc only, so nothing is logged twice.
// Tests compare a table of expected message names with Names(window),
// which leaves out the listed noise messages.
#pragma once

#include <framework/framework.h>

#include <set>
#include <string>
#include <vector>

struct RecordedMessage
{
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();

    void Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Clear() { m_messages.clear(); }
    const std::vector<RecordedMessage>& Messages() const { return m_messages; }
    // The names of the messages hWnd received, noise left out.
    std::vector<std::string> Names(HWND hWnd) const;
    // The recorder of this thread, or NULL.
    static MessageRecorder* Current();
    // Messages that come and go with focus, painting and the window manager.
    static const std::set<UINT>& Noise();
    static std::string Name(UINT message);

private:
    std::vector<RecordedMessage> m_messages;
    HHOOK m_hHook;
    MessageRecorder* m_pPrevious;
};

// A framework window class whose WindowProc logs to the thread's recorder.
template <class T>
class RecordedWindow : public T
{
public:
    using T::T;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (MessageRecorder* pRecorder = MessageRecorder::Current())
            pRecorder->Record(this->m_hWnd, message, wParam, lParam);
        return T::WindowProc(message, wParam, lParam);
    }
};

// Sets or clears Shift and Ctrl in the thread's keyboard state.
void SetModifierKeys(bool bShift, bool bCtrl);
