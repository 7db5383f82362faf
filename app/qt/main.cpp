#include "app/qt/CKirabelApp.h"

int main(int argc, char* argv[]) {
    CKirabelApp app(argc, argv);
    return app.InitInstance();
}
