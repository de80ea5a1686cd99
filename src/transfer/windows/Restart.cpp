#include "transfer/windows/Restart.h"

#include "transfer/TransferQuestions.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfrmRestart::TfrmRestart(const QString& fileName, QWidget* parent) : TQuestionDialog(parent) {
    setWindowTitle(QStringLiteral("Confirm Restart of %1").arg(fileName));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon::fromTheme(QStringLiteral("dialog-question"),
                                        style()->standardIcon(QStyle::SP_MessageBoxQuestion))
                           .pixmap(32, 32));
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* prompt = new QLabel(
        QStringLiteral("It appears as though a previous transfer was not successfully "
                       "completed. Although not all servers support this feature, would you "
                       "like to try and resume the transfer where it left off?"),
        this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    prompt->setWordWrap(true);
    top->addWidget(prompt, 1);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(ButtonRow());

    AddButton(QStringLiteral("&Yes"), QStringLiteral("btnYes"), mrYes);
    AddButton(QStringLiteral("&No"), QStringLiteral("btnNo"), mrNo);
    SetDefaultButton(
        AddButton(QStringLiteral("Yes to &All"), QStringLiteral("btnYesToAll"), mrYesToAll));
    AddButton(QStringLiteral("No to A&ll"), QStringLiteral("btnNoToAll"), mrNoToAll);
    // Escape leaves the file alone: "&No" would send it again from its start, over the
    // part already there.
    SetEscapeResult(mrCancel);

    // The title holds the name, so the width comes from the buttons and the prompt wraps.
    const int width =
        std::max(440, ButtonRow()->sizeHint().width() + layout->contentsMargins().left() +
                          layout->contentsMargins().right());
    setFixedSize(width, layout->heightForWidth(width) > 0 ? layout->heightForWidth(width)
                                                          : sizeHint().height());
}
