#include "bench/ScreenWatch.h"

#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

ScreenWatch::ScreenWatch(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot reach the X server " + display);
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!damage || !damage->present) throw std::runtime_error("the X server has no Damage extension");
    damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    std::free(xcb_damage_query_version_reply(connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
}

ScreenWatch::~ScreenWatch() {
    xcb_disconnect(connection_);
}

void ScreenWatch::watch(std::uint32_t window, int width, int height) {
    windows_[window] = {width, height, false};
    xcb_damage_create(connection_, xcb_generate_id(connection_), window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_flush(connection_);
}

std::optional<std::uint32_t> ScreenWatch::handle(const void* raw, int width, int height) {
    const auto* event = static_cast<const xcb_generic_event_t*>(raw);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
        const auto* created = static_cast<const xcb_create_notify_event_t*>(raw);
        if (created->parent == root_) watch(created->window, created->width, created->height);
    } else if (type == XCB_CONFIGURE_NOTIFY) {
        const auto* configured = static_cast<const xcb_configure_notify_event_t*>(raw);
        if (auto it = windows_.find(configured->window); it != windows_.end())
            it->second.width = configured->width, it->second.height = configured->height;
    } else if (type == XCB_MAP_NOTIFY) {
        if (auto it = windows_.find(static_cast<const xcb_map_notify_event_t*>(raw)->window); it != windows_.end())
            it->second.mapped = true;
    } else if (type == XCB_UNMAP_NOTIFY) {
        if (auto it = windows_.find(static_cast<const xcb_unmap_notify_event_t*>(raw)->window); it != windows_.end())
            it->second.mapped = false;
    } else if (type == damageEvent_) {
        const xcb_drawable_t drawn = static_cast<const xcb_damage_notify_event_t*>(raw)->drawable;
        const auto it = windows_.find(drawn);
        if (it != windows_.end() && it->second.mapped && it->second.width == width && it->second.height == height)
            return drawn;
    }
    return std::nullopt;
}

std::optional<ScreenWatch::Shown> ScreenWatch::waitShown(int width, int height, Clock::time_point deadline) {
    const int fd = xcb_get_file_descriptor(connection_);
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto drawn = handle(event, width, height);
            std::free(event);
            if (drawn) {
                const Clock::time_point at = Clock::now();
                const auto [left, top] = placeOf(*drawn);
                return Shown{*drawn, at, left, top};
            }
        }
        if (xcb_connection_has_error(connection_)) throw std::runtime_error("lost the X server");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)) + 1);
    }
    return std::nullopt;
}

std::pair<int, int> ScreenWatch::placeOf(std::uint32_t window) {
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
    if (!place) return {0, 0};
    const std::pair<int, int> at{place->dst_x, place->dst_y};
    std::free(place);
    return at;
}

void ScreenWatch::fakeInput(std::uint8_t type, std::uint8_t detail, int x, int y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
}

void ScreenWatch::press(int x, int y) {
    fakeInput(XCB_MOTION_NOTIFY, 0, x, y);
    fakeInput(XCB_BUTTON_PRESS, 1, 0, 0);
    xcb_flush(connection_);
}

void ScreenWatch::release() {
    fakeInput(XCB_BUTTON_RELEASE, 1, 0, 0);
    xcb_flush(connection_);
}
