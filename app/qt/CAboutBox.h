#pragma once

#include <QDialog>

// The program's icon, name and version; OK, Enter, Esc or the close box close it.
class CAboutBox : public QDialog {
public:
    explicit CAboutBox(QWidget* parent = nullptr);
};
