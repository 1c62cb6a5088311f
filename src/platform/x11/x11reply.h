#pragma once

#include <cstdlib>
#include <memory>

// Owns a reply (or an error) that xcb allocated with malloc.
struct X11ReplyFree
{
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using X11Reply = std::unique_ptr<Reply, X11ReplyFree>;
