#include "app/standardstreams.h"

#include "platform/standarddescriptors.h"

#include <csignal>

void prepareStandardStreams()
{
    reopenClosedStandardDescriptors("/dev/null");
    ::signal(SIGPIPE, SIG_IGN);
}
