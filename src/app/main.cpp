#include "app/appdir.h"
#include "app/quelview.h"
#include "app/standardstreams.h"
#include "clock/textstyle.h"
#include "platform/diagnostics.h"
#include "platform/displayplatform.h"
#include "platform/journalstream.h"
#include "platform/zapplication.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Without its fonts the text is drawn in a fallback face, or not at all,
// with no word from the toolkit but fontconfig's own; the likeliest cause is
// a limit on open files that leaves none for fontconfig.
void sayWhenFontsAreMissing()
{
    if (textFontsAvailable())
        return;
    QByteArray why = "fontconfig found no configuration or none of them";
    struct rlimit files = {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 64)
        why = "the process may open only " + QByteArray::number(qulonglong(files.rlim_cur)) + " files at once";
    writeWarning("warning: the text's fonts (" + textFontFamilies().join(QStringLiteral(", ")).toUtf8()
                 + ") could not be loaded (" + why + "); text is drawn in a fallback font or not at all\n");
}

} // namespace

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
    sayWhenFontsAreMissing();
    if (!app->claimSession()) {
        delete app;
        return 1;
    }
    const WallClock systemClock;
    auto* view = new quelView(path, systemClock);
    // Under a service manager that keeps standard output in the system log,
    // the keys typed at the lock screen stay out of it.
    view->setKeyLinesWritten(!isJournalStream(STDOUT_FILENO, qgetenv("JOURNAL_STREAM")));
    app->setMainWidget(view);
    const int result = app->exec();
    delete view;
    delete app;
    return result;
}
