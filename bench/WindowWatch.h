#pragma once

// Watches the X server for top-level windows being mapped. The server tells
// us the moment a window appears (MapNotify on the root window), so a start
// is timed without polling and without a poller taking CPU from the program
// being measured.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct xcb_connection_t;

class WindowWatch {
public:
    using Clock = std::chrono::steady_clock;

    struct Mapped {
        std::uint32_t window = 0;
        std::string title;
        Clock::time_point at;
    };

    // Connects to $DISPLAY; error() says why when it cannot.
    WindowWatch();
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    const std::string& error() const { return error_; }

    // Waits until process pid maps a window whose title passes the test;
    // nullopt when the deadline passes first or the process ends.
    std::optional<Mapped> waitMapped(pid_t pid, const std::function<bool(const std::string&)>& title,
                                     Clock::time_point deadline);

    // Hands the keyboard to the window and from now on notes the key presses
    // it receives, so a typed key is timed when the server delivers it.
    void focusAndWatchKeys(std::uint32_t window);
    // When the last key press seen so far reached the watched window.
    std::optional<Clock::time_point> lastKeyPress() const { return lastKey_; }
    // Reads whatever events are waiting (key presses included).
    void drain();

private:
    void handle(void* event, const std::function<void(std::uint32_t, Clock::time_point)>& onMap);
    std::uint32_t clientOf(std::uint32_t window, int depth);
    std::string title(std::uint32_t window);
    std::optional<std::uint32_t> pidOf(std::uint32_t window);
    std::uint32_t atom(const char* name);

    xcb_connection_t* conn_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t netWmPid_ = 0;
    std::uint32_t netWmName_ = 0;
    std::uint32_t utf8_ = 0;
    std::optional<Clock::time_point> lastKey_;
    std::string error_;
};
