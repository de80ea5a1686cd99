#include "app/CommandLineOptions.h"

#include "app/Help.h"
#include "startup/CommandLine.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmCommandLineOptions::TfrmCommandLineOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCommandLineOptions"));
    setWindowTitle(QStringLiteral("Tolvar Command Line Usage"));
    SetHelpContext(this, hcCommandLine);

    auto* label = new QLabel(CommandLineUsageText(), this);
    label->setObjectName(QStringLiteral("lblUsage"));
    // The columns of the usage lines only line up in a fixed-pitch font.
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Help, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    QPushButton* help = buttons->button(QDialogButtonBox::Help);
    help->setObjectName(QStringLiteral("btnHelp"));
    help->setText(QStringLiteral("&Help"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(hcCommandLine, this); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
