#include "platform/interrupt_cleanup.h"
#include "ui/convert_app.h"

using namespace zelk;

int main(int argc, char** argv) {
    // A conversion cut short by SIGINT, SIGTERM or SIGHUP leaves no
    // temporary file behind.
    interruptcleanup::InstallHandlers();
    CConvertApp app(argc, argv);
    app.InitInstance();
    return 0;
}
