#include "views/widgets/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QStyle>

TDialogButtons MakeDialogButtons(QDialog* dialog, const std::function<void()>& showHelp) {
    const auto make = [dialog](const QString& caption, const char* name) {
        auto* button = new QPushButton(caption, dialog);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        return button;
    };
    TDialogButtons b;
    b.Ok = make(QStringLiteral("OK"), "btnOK");
    b.Ok->setDefault(true);
    b.Cancel = make(QStringLiteral("Cancel"), "btnCancel");
    // Virtual: a dialog's own accept() checks its fields first.
    QObject::connect(b.Ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(b.Cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    b.Row = new QHBoxLayout;
    b.Row->addStretch(1);
    b.Row->addWidget(b.Ok);
    b.Row->addWidget(b.Cancel);
    if (showHelp) {
        b.Help = make(QStringLiteral("&Help"), "btnHelp");
        b.Help->setIcon(
            QIcon::fromTheme(QStringLiteral("help-contents"),
                             dialog->style()->standardIcon(QStyle::SP_DialogHelpButton)));
        QObject::connect(b.Help, &QPushButton::clicked, dialog, showHelp);
        b.Row->addWidget(b.Help);
    }
    return b;
}
