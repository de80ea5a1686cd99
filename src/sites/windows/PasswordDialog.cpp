#include "sites/windows/PasswordDialog.h"
#include "views/widgets/DialogButtons.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

TdlgPassword::TdlgPassword(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter a password"));

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    const QIcon icon = QIcon::fromTheme(QStringLiteral("dialog-password"),
                                        style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    image->setPixmap(icon.pixmap(32, 32));
    image->setFixedSize(40, 40);
    image->setAlignment(Qt::AlignCenter);

    auto* prompt = new QLabel(QStringLiteral("Specify a password to this session:"), this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    EditPassword_ = new QLineEdit(this);
    EditPassword_->setObjectName(QStringLiteral("editPassword"));
    EditPassword_->setEchoMode(QLineEdit::Password);
    prompt->setBuddy(EditPassword_);

    // QDialog maps Escape and the close box to reject(), which is Cancel.
    QHBoxLayout* buttons = MakeDialogButtons(this).Row;

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(12);
    layout->addWidget(image, 0, 0, 2, 1, Qt::AlignCenter);
    layout->addWidget(prompt, 0, 1);
    layout->addWidget(EditPassword_, 1, 1);
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setColumnMinimumWidth(1, 240);
    EditPassword_->setFocus();
    setFixedSize(sizeHint());
}

QString TdlgPassword::Password() const {
    return EditPassword_->text();
}

std::optional<QString> TdlgPassword::Ask(QWidget* parent) {
    QPointer<TdlgPassword> dialog = new TdlgPassword(parent);
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (!dialog) return std::nullopt;
    std::optional<QString> password;
    if (ok) password = dialog->Password();
    delete dialog;
    return password;
}
