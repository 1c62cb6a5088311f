#include "app/appdir.h"
#include "app/quelview.h"
#include "app/standardstreams.h"
#include "platform/buslink.h"
#include "platform/diagnostics.h"
#include "platform/displayplatform.h"
#include "platform/zapplication.h"

#include <unistd.h>

int main(int argc, char** argv)
{
    prepareStandardStreams();
    bool pathValid = true;
    const QString path = decodeProgramPath(QByteArray(argv[0]), &pathValid);
    ZApplication::usePhoneScreenResolution();
    DisplayPlatform::chooseBeforeApplication();
    auto* app = new ZApplication(argc, argv, ZApplication::GuiClient);
    if (!pathValid) {
        writeWarning("warning: the program path \"" + escapedForLine(QByteArray(argv[0]))
                     + "\" is not valid in the file-name encoding (UTF-8); its settings and skin may not be "
                       "found\n");
    }
    // The toolkit's own users of the session bus (the accessibility bridge,
    // when the event loop starts) connect without any bound and would hang on
    // a bus that does not answer. When ours could not be reached, they are
    // given an address that fails at once; the lock screen's own link keeps
    // trying the real one.
    if (!BusLink::session().isConnected() && !BusLink::session().address().isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    if (!app->claimSession()) {
        delete app;
        return 1;
    }
    auto* view = new quelView(path);
    app->setMainWidget(view);
    const int result = app->exec();
    delete view;
    // A connect call stuck on a bus that does not answer would hold up the
    // toolkit's clean-up for as long as the bus stays silent.
    if (BusLink::connectInProgress())
        ::_exit(result);
    delete app;
    return result;
}
