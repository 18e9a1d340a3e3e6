#include "AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "AppTexts.h"
#include "DialogUnits.h"
#include "Resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDlg");
    setWindowTitle(QStringLiteral("About %1").arg(kAppTitle));
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);
    const QSize base = DialogBaseUnits(font);
    auto place = [&](QWidget* widget, int left, int top, int width, int height) {
        widget->setGeometry(MapDialogRect(QRect(left, top, width, height), base));
    };

    auto* icon = new QLabel(this);
    icon->setObjectName("icon");
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    place(icon, 11, 17, 20, 20);
    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName("version");
    place(version, 40, 10, 119, 8);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    place(ok, 178, 7, 32, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(MapDialogRect(QRect(0, 0, 217, 55), base).size());
}
