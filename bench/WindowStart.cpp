// Starts like the program (its application object and main window) and quits as
// soon as the window has been drawn: process start to window shown to exit.
#include "app/qt/CKirabelApp.h"
#include "app/qt/CKirabelDlg.h"
#include "bench/WhenShown.h"

int main(int argc, char* argv[]) {
    CKirabelApp app(argc, argv);
    CKirabelDlg dialog;
    bench::WhenShown quit(dialog, [&dialog] { dialog.done(0); });
    dialog.exec();
    return 0;
}
