#pragma once

#include <cstdlib>
#include <memory>

// Owns a reply, an error or an event that xcb allocated with malloc. It
// needs no xcb of its own, so that every X client of the system can use it.
struct X11ReplyFree
{
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using X11Reply = std::unique_ptr<Reply, X11ReplyFree>;
