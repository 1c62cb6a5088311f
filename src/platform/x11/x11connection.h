#pragma once

struct xcb_connection_t;

// The toolkit's own connection to the X server on its xcb platform; null on
// every other platform. The keyguard and the frame presenter speak through it.
xcb_connection_t* x11Connection();
