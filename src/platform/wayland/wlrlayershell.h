#pragma once

// The generated layer shell header names an argument "namespace", a C++
// keyword: it is renamed for this header alone, after what it includes.
#include <stddef.h>
#include <stdint.h>
#include <wayland-client.h>

#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace
