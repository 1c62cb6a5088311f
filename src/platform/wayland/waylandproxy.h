#pragma once

#include <memory>

// Owns one Wayland object and ends it, when the holder goes, with the
// function it was made to be ended with: its interface's destroy request, or
// wl_display_disconnect for the display. The function is named where the
// object is made, so that the header needs no Wayland headers of its own.
template <typename Proxy>
struct WaylandProxyDestroy
{
    void (*destroy)(Proxy*) = nullptr;
    void operator()(Proxy* proxy) const { destroy(proxy); }
};
template <typename Proxy>
using WaylandProxy = std::unique_ptr<Proxy, WaylandProxyDestroy<Proxy>>;

// `proxy` (null or not), to be ended with `destroy`.
template <typename Proxy>
WaylandProxy<Proxy> ownProxy(Proxy* proxy, void (*destroy)(Proxy*))
{
    return WaylandProxy<Proxy>(proxy, WaylandProxyDestroy<Proxy>{destroy});
}
