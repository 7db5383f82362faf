#pragma once

#include <QApplication>
#include <QFont>
#include <QTranslator>

class CKirabelDlg;

// Start-up: names the program, sets the dialog font for every window, and
// runs the main window once. Arguments other than Qt's own are ignored.
class CKirabelApp : public QApplication {
public:
    CKirabelApp(int& argc, char** argv);

    // Runs the main window modally; the program ends when it closes.
    int InitInstance();
    // Runs `dialog` as the main window. A signal that ends the program, or the
    // session manager's request to save, saves without asking anything that
    // nobody may be there to answer.
    int Run(CKirabelDlg& dialog);

    // ＭＳ Ｐゴシック 9 pt: the face if installed, else the first installed font
    // that stands in for it, under that font's own name.
    static QFont DialogFont();

private:
    // Has Qt join the accessibility bus at start, whether or not a screen
    // reader runs yet: Qt looks for one only then, and one started later
    // would never find the window. Gives back `argc`.
    static int& JoinAccessibilityBus(int& argc);

    QTranslator m_translator;
};
