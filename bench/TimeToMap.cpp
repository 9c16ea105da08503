// Starts a program and prints the milliseconds from its launch until its
// first top-level window is mapped on the X display in $DISPLAY, then ends
// it with SIGTERM. Without a window manager a map request maps at once.
//   time_to_map PROGRAM [ARGUMENT...]
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern char** environ;

namespace {

constexpr int kTimeoutMs = 20000;

struct FreeEvent {
    void operator()(xcb_generic_event_t* e) const { std::free(e); }
};
using Event = std::unique_ptr<xcb_generic_event_t, FreeEvent>;

// Waits for the next event, or returns null once `deadline` has passed.
Event nextEvent(xcb_connection_t* x, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (Event e{xcb_poll_for_event(x)}) {
            return e;
        }
        if (xcb_connection_has_error(x) != 0) {
            return nullptr;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return nullptr;
        }
        pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left.count()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: time_to_map PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* x = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(x) != 0) {
        std::fprintf(stderr, "time_to_map: no X display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the selection is in force before the program starts.
    if (xcb_generic_error_t* error = xcb_request_check(
            x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        std::fprintf(stderr, "time_to_map: cannot watch the root window\n");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::perror("time_to_map: cannot start the program");
        return 1;
    }
    const auto deadline = start + std::chrono::milliseconds(kTimeoutMs);
    int status = 1;
    while (Event e = nextEvent(x, deadline)) {
        if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY &&
            !reinterpret_cast<xcb_map_notify_event_t*>(e.get())->override_redirect) {
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            std::printf("%.2f\n", took.count());
            status = 0;
            break;
        }
    }
    if (status != 0) {
        std::fprintf(stderr, "time_to_map: no window was mapped\n");
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    return status;
}
