#include "app/qt/CAboutBox.h"

#include "app/qt/DialogUnits.h"
#include "res/Layout.h"
#include "res/Strings.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

CAboutBox::CAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    namespace about = layout::aboutBox;
    setWindowTitle(QString::fromUtf8(strings::kAboutCaption));
    const DialogUnits units(font());

    auto* icon = new QLabel(this);
    // The main window's picture from the pixmap cache, not read again.
    icon->setPixmap(
        QIcon(QPixmap(QString::fromLatin1(layout::kIconImage))).pixmap(about::kIconSize));
    icon->setGeometry(QRect(units.ToPixels(about::kIcon).topLeft(), icon->pixmap().size()));

    auto* version = new QLabel(QString::fromUtf8(strings::kAboutVersion), this);
    version->setTextFormat(Qt::PlainText);
    version->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    version->setGeometry(units.ToPixels(about::kVersionText));

    auto* ok = new QPushButton(QString::fromUtf8(strings::kOk), this);
    ok->setDefault(true);
    ok->setGeometry(units.ToPixels(about::kOkButton));
    ok->setFocus(Qt::OtherFocusReason);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.ToPixels(about::kWidth, about::kHeight));
}
