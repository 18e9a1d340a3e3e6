#pragma once

#include <QDialog>

// The About box (dialog 100): the application icon, "Version 3.5" and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
