#pragma once

// Makes descriptors 0, 1 and 2 safe to use before anything else opens a
// file: one that is closed is opened on /dev/null (otherwise the next file
// opened, the display connection, would take its number and diagnostic lines
// would be written into it), and SIGPIPE is ignored, so that a reader of the
// output that went away loses the lines, not the process.
void prepareStandardStreams();
