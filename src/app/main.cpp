#include "app/quelview.h"
#include "platform/zapplication.h"

int main(int argc, char** argv)
{
    const QString path = QString::fromLatin1(argv[0]);
    ZApplication::usePhoneScreenResolution();
    auto* app = new ZApplication(argc, argv, ZApplication::GuiClient);
    auto* view = new quelView(path);
    app->setMainWidget(view);
    const int result = app->exec();
    delete view;
    delete app;
    return result;
}
