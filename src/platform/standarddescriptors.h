#pragma once

#include <bitset>

// Opens each of descriptors 0, 1 and 2 that is closed, so that no file
// opened later takes its number and gets what is meant for a standard
// stream: 0 on /dev/null for reading, 1 and 2 on `output` for writing.
// Answers which were closed (bit n for descriptor n). Call before anything
// else opens a file.
std::bitset<3> reopenClosedStandardDescriptors(const char* output);
