#include "app/appdir.h"
#include "app/quelview.h"
#include "app/standardstreams.h"
#include "platform/buslink.h"
#include "platform/diagnostics.h"
#include "platform/journalstream.h"
#include "platform/toolkitbusfence.h"
#include "platform/zapplication.h"

#include <QFontDatabase>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Without fonts every line of text is left out of the frame without a word
// from the toolkit; the likeliest cause is no file descriptor to spare.
void sayWhenFontsAreMissing()
{
    if (!QFontDatabase::families().isEmpty())
        return;
    QByteArray why = "no font configuration or fonts found";
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe < 0)
        why = std::strerror(errno);
    else
        ::close(probe);
    writeWarning("warning: no fonts could be loaded (" + why + "); the lock screen's text will not show\n");
}

} // namespace

int main(int argc, char** argv)
{
    prepareStandardStreams();
    bool pathValid = true;
    const QString path = decodeProgramPath(QByteArray(argv[0]), &pathValid);
    ZApplication::usePhoneScreenResolution();
    ToolkitBusFence toolkitBusFence;
    auto* app = new ZApplication(argc, argv, ZApplication::GuiClient);
    toolkitBusFence.settle();
    if (!pathValid) {
        writeWarning("warning: the program path \"" + escapedForLine(QByteArray(argv[0]))
                     + "\" is not valid in the file-name encoding (UTF-8); its settings and skin may not be "
                       "found\n");
    }
    sayWhenFontsAreMissing();
    if (!app->claimSession()) {
        delete app;
        return 1;
    }
    auto* view = new quelView(path);
    // Under a service manager that keeps standard output in the system log,
    // the keys typed at the lock screen stay out of it.
    view->setKeyLinesWritten(!isJournalStream(STDOUT_FILENO, qgetenv("JOURNAL_STREAM")));
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
