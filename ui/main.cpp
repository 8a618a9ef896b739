#include "ui/convert_app.h"

int main(int argc, char** argv) {
    CConvertApp app(argc, argv);
    app.InitInstance();
    return 0;
}
