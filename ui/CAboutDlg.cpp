#include "ui/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "resources/window/WindowResources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    window_resources::Init();
    setObjectName(QStringLiteral("CAboutDlg"));
    // The About box exists in English only, whatever the language of the main window.
    setWindowTitle(QStringLiteral("Version information Norvell Tarvex"));
    const QIcon icon(QString::fromLatin1(window_resources::kIconPath));
    setWindowIcon(icon);

    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("icon200"));
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);
    picture->setAccessibleName(QStringLiteral("Tarvex"));

    auto* name = new QLabel(QStringLiteral("Norvell Tarvex Version 1.0"));
    name->setObjectName(QStringLiteral("version"));
    auto* notice = new QLabel(
        QStringLiteral("Configuration tool for the KR640 tail-rotor gyro and the TBX-3 adapter."));
    notice->setObjectName(QStringLiteral("notice"));
    notice->setWordWrap(true);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(notice);
    texts->addStretch(1);

    auto* buttons = new QDialogButtonBox(Qt::Vertical);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addLayout(texts, 1);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}
