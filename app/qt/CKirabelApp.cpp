#include "app/qt/CKirabelApp.h"

#include "app/qt/CKirabelDlg.h"
#include "app/qt/CSignalWatcher.h"
#include "res/Layout.h"
#include "res/Strings.h"
#include "res/Version.h"

#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QSessionManager>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>

namespace {

// Whether fontconfig has the family; one from several foundries is listed as
// "family [foundry]".
bool IsInstalled(const QStringList& installed, const QString& family) {
    const QString withFoundry = family + QStringLiteral(" [");
    return std::any_of(installed.begin(), installed.end(), [&](const QString& name) {
        return name.compare(family, Qt::CaseInsensitive) == 0 ||
               name.startsWith(withFoundry, Qt::CaseInsensitive);
    });
}

} // namespace

int& CKirabelApp::JoinAccessibilityBus(int& argc) {
    // A setting of the user's own, even "0", stands.
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON")) {
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    }
    return argc;
}

CKirabelApp::CKirabelApp(int& argc, char** argv) : QApplication(JoinAccessibilityBus(argc), argv) {
    setApplicationName(QString::fromUtf8(strings::kAppName));
    setApplicationVersion(QString::fromLatin1(build::kVersion));
    // Lets the desktop match the window to its menu entry and icon.
    setDesktopFileName(QStringLiteral("io.kirabel.Kirabel"));
    // Through QPixmap, whose cache hands the windows the picture decoded once.
    setWindowIcon(QIcon(QPixmap(QString::fromLatin1(layout::kIconImage))));
    setFont(DialogFont());
    // Qt's own texts (the file dialog, Yes and No, the answer box's menu) in
    // Japanese, like every other text of the program.
    if (m_translator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(&m_translator);
    }
}

int CKirabelApp::InitInstance() {
    CKirabelDlg dialog;
    return Run(dialog);
}

int CKirabelApp::Run(CKirabelDlg& dialog) {
    const CSignalWatcher watcher([&dialog] { dialog.EndSession(); });
    const QMetaObject::Connection commit =
        connect(this, &QGuiApplication::commitDataRequest, &dialog,
                [&dialog](QSessionManager& manager) { dialog.CommitData(manager); });
    dialog.show();
    dialog.CheckSystem();
    // A signal during the start-up's message box has ended the run already.
    if (!dialog.HasEnded()) {
        dialog.exec();
    }
    disconnect(commit);
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
    // The font names the installed stand-in itself: asked for the face, Qt
    // would search fontconfig's fallbacks for it in every script and size drawn.
    const QStringList installed = QFontDatabase::families();
    QString family = face;
    if (!IsInstalled(installed, face)) {
        const auto found =
            std::find_if(substitutes.begin(), substitutes.end(), [&installed](const QString& name) {
                return IsInstalled(installed, name);
            });
        if (found != substitutes.end()) {
            family = *found;
        }
    }
    return QFont(family, layout::kDialogFontPoints);
}
