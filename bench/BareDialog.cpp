// The framework's floor for the start-up figure: a bare QDialog, shown and
// closed the same way as the program's window. With --japanese-text it also
// shows one line of Japanese in IPA P Gothic, to tell how much of the
// program's start goes into loading a Japanese font at all.
#include "bench/WhenShown.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QString>

#include <cstring>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    if (argc > 1 && std::strcmp(argv[1], "--japanese-text") == 0) {
        auto* label = new QLabel(QString::fromUtf8("問題文がここに表示されます。"), &dialog);
        label->setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    }
    bench::WhenShown quit(dialog, [&dialog] { dialog.done(0); });
    dialog.exec();
    return 0;
}
