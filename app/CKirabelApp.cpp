#include "app/CKirabelApp.h"

#include "app/CKirabelDlg.h"
#include "controls/Cp932.h"
#include "res/Layout.h"
#include "res/Strings.h"

#include <QIcon>
#include <QString>
#include <QStringList>

CKirabelApp::CKirabelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(Cp932::ToQString(strings::kAppName));
    setApplicationVersion(QStringLiteral("1.0.0"));
    // Lets the desktop match the window to its menu entry and icon.
    setDesktopFileName(QStringLiteral("io.kirabel.Kirabel"));
    setWindowIcon(QIcon(QString::fromLatin1(layout::kIconImage)));
    setFont(DialogFont());
}

int CKirabelApp::InitInstance() {
    CKirabelDlg dialog;
    dialog.exec();
    return 0;
}

QFont CKirabelApp::DialogFont() {
    const QString face = QString::fromUtf16(layout::kDialogFontFace);
    QStringList substitutes;
    for (const char* family : layout::kDialogFontSubstitutes) {
        substitutes << QString::fromLatin1(family);
    }
    if (QFont::substitutes(face).isEmpty()) {
        QFont::insertSubstitutions(face, substitutes);
    }
    return QFont(face, layout::kDialogFontPoints);
}
