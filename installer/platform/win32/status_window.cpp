#include "platform/status_window.h"

#include <windows.h>

#include <utility>

#include "platform/event_loop.h"
#include "resources/resource.h"

namespace platform {
namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kTextCapacity = 100;

struct WindowState {
    HINSTANCE instance = nullptr;
    char title[kTextCapacity] = {};
    char className[kTextCapacity] = {};
    HWND window = nullptr;
    HWND statusControl = nullptr;
    std::function<void()> onTick;
    // Set by RequestClose: only the sequence itself may close the window.
    bool closeRequested = false;
};

WindowState& State() {
    static WindowState state;
    return state;
}

void FitStatusControl(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(State().statusControl, 0, 0, client.right - client.left, client.bottom - client.top,
               TRUE);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState& state = State();
    switch (message) {
        case WM_CREATE: {
            RECT client;
            GetClientRect(window, &client);
            state.statusControl =
                CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0,
                                client.right - client.left, client.bottom - client.top, window,
                                nullptr, state.instance, nullptr);
            SetTimer(window, kTimerId, kTickIntervalMs, nullptr);
            return 0;
        }
        case WM_CLOSE:
            // Alt+F4, the window manager or another process would abandon the update while it
            // waits for the client or installs; the window goes only at the end of the sequence.
            if (!state.closeRequested) {
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (IsWindow(state.statusControl)) {
                FitStatusControl(window);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_TIMER:
            if (state.onTick) {
                state.onTick();
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    // Icon 109 is not carried, so the class has no large icon.
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDC_FERRYLIFT));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    // A system colour index passed as the brush.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW));
    windowClass.lpszClassName = State().className;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    RegisterClassExA(&windowClass);
}

bool QueryWorkArea(WorkArea* area) {
    RECT rect;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0)) {
        return false;
    }
    *area = WorkArea{rect.left, rect.top, rect.right, rect.bottom};
    return true;
}

bool CreateMainWindow(HINSTANCE instance, int showCommand) {
    WindowState& state = State();
    state.instance = instance;
    const WindowOrigin origin = PlaceStatusWindow(QueryWorkArea);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, state.className, state.title, WS_CAPTION, origin.x,
                                  origin.y, kStatusWindowWidth, kStatusWindowHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    state.window = window;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

}  // namespace

bool CreateStatusWindow(int showCommand) {
    WindowState& state = State();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    LoadStringA(instance, IDS_APP_TITLE, state.title, kTextCapacity);
    LoadStringA(instance, IDC_FERRYLIFT, state.className, kTextCapacity);
    RegisterMainWindowClass(instance);
    return CreateMainWindow(instance, showCommand);
}

void SetStatusText(const std::u16string& text) {
    SetWindowTextW(State().statusControl, reinterpret_cast<const wchar_t*>(text.c_str()));
}

void SetTickHandler(std::function<void()> onTick) {
    State().onTick = std::move(onTick);
}

int RunEventLoop() {
    WindowState& state = State();
    // The program carries no accelerator table; the call is kept for the loop's shape.
    HACCEL accelerators = LoadAcceleratorsA(state.instance, MAKEINTRESOURCEA(IDC_FERRYLIFT));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

void StopTick() {
    KillTimer(State().window, kTimerId);
}

void FlushPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void RequestClose() {
    State().closeRequested = true;
    PostMessageA(State().window, WM_CLOSE, 0, 0);
}

}  // namespace platform
