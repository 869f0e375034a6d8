#include "WindowWatch.h"

#include <poll.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// True once the process has ended; it stays a zombie for its parent to reap.
bool ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

}  // namespace

WindowWatch::WindowWatch() {
    int screenNo = 0;
    conn_ = xcb_connect(nullptr, &screenNo);
    if (xcb_connection_has_error(conn_)) {
        error_ = "cannot connect to the X server (is DISPLAY set? run under xvfb-run)";
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNo && it.rem; ++i) xcb_screen_next(&it);
    root_ = it.data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    Reply<xcb_generic_error_t> err(
        xcb_request_check(conn_, xcb_change_window_attributes_checked(conn_, root_, XCB_CW_EVENT_MASK, &mask)));
    if (err) error_ = "cannot watch the root window";
    netWmPid_ = atom("_NET_WM_PID");
    netWmName_ = atom("_NET_WM_NAME");
    utf8_ = atom("UTF8_STRING");
}

WindowWatch::~WindowWatch() { xcb_disconnect(conn_); }

std::uint32_t WindowWatch::atom(const char* name) {
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : std::uint32_t(XCB_ATOM_NONE);
}

std::string WindowWatch::title(std::uint32_t window) {
    for (const auto& [property, type] :
         {std::pair{netWmName_, utf8_},
          std::pair{std::uint32_t(XCB_ATOM_WM_NAME), std::uint32_t(XCB_GET_PROPERTY_TYPE_ANY)}}) {
        Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, property, type, 0, 1024), nullptr));
        if (r && r->format == 8 && xcb_get_property_value_length(r.get()) > 0)
            return {static_cast<const char*>(xcb_get_property_value(r.get())),
                    static_cast<size_t>(xcb_get_property_value_length(r.get()))};
    }
    return {};
}

std::optional<std::uint32_t> WindowWatch::pidOf(std::uint32_t window) {
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, netWmPid_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4) return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
}

// The program's own window: the mapped window itself, or, under a window
// manager that frames its clients, the framed window inside it.
std::uint32_t WindowWatch::clientOf(std::uint32_t window, int depth) {
    if (pidOf(window) || !title(window).empty()) return window;
    if (depth == 0) return 0;
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, window), nullptr));
    if (!tree) return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (const std::uint32_t found = clientOf(children[i], depth - 1)) return found;
    return 0;
}

void WindowWatch::handle(void* event, const std::function<void(std::uint32_t, Clock::time_point)>& onMap) {
    const auto* e = static_cast<const xcb_generic_event_t*>(event);
    const Clock::time_point now = Clock::now();
    switch (e->response_type & 0x7F) {
        case XCB_MAP_NOTIFY: {
            const auto* m = static_cast<const xcb_map_notify_event_t*>(event);
            if (m->event == root_) onMap(m->window, now);
            break;
        }
        case XCB_KEY_PRESS: lastKey_ = now; break;
        default: break;
    }
}

std::optional<WindowWatch::Mapped> WindowWatch::waitMapped(pid_t pid,
                                                           const std::function<bool(const std::string&)>& wanted,
                                                           Clock::time_point deadline) {
    if (!error_.empty()) return std::nullopt;
    // Maps are collected first and looked at afterwards: asking about a window
    // reads replies, and events that arrive meanwhile must keep their times.
    std::vector<std::pair<std::uint32_t, Clock::time_point>> maps;
    const auto onMap = [&](std::uint32_t w, Clock::time_point at) { maps.emplace_back(w, at); };
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
            handle(e, onMap);
            std::free(e);
        }
        for (const auto& [w, at] : maps) {
            const std::uint32_t client = clientOf(w, 2);
            if (!client) continue;
            const std::optional<std::uint32_t> owner = pidOf(client);
            if (owner && *owner != static_cast<std::uint32_t>(pid)) continue;
            std::string t = title(client);
            if (wanted(t)) return Mapped{client, std::move(t), at};
        }
        maps.clear();
        if (xcb_connection_has_error(conn_) || ended(pid)) return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        // Wake at least every 50 ms to notice a program that ended without a window.
        pollfd p{xcb_get_file_descriptor(conn_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(std::min<long long>(left, 50)));
    }
}

void WindowWatch::focusAndWatchKeys(std::uint32_t window) {
    const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
    xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
    xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    // A round trip, so the focus is set before anything is typed.
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

void WindowWatch::drain() {
    const auto ignore = [](std::uint32_t, Clock::time_point) {};
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
        handle(e, ignore);
        std::free(e);
    }
}
