#include "transfer/windows/Confirm.h"

#include "transfer/TransferQuestions.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 413;
// The prompt's width beside the icon, within the dialog's margins.
constexpr int kTextWidth = kWidth - 2 * 11 - 32 - 12;

} // namespace

TfrmConfirm::TfrmConfirm(int count, const QString& firstName, bool firstIsFolder, QWidget* parent)
    : TQuestionDialog(parent) {
    // A name wider than a line cannot wrap; it is shortened in the middle instead, so that
    // the dialog keeps its size (the whole name is in the tool tip).
    ensurePolished(); // the style's font, which the label will have
    const QString name = fontMetrics().elidedText(
        firstName, Qt::ElideMiddle, kTextWidth - fontMetrics().horizontalAdvance(QLatin1Char('?')));
    QString text;
    if (count >= 2) {
        setWindowTitle(QStringLiteral("Confirm Multiple File Delete"));
        text = QStringLiteral("Are you sure you want to delete these %1 items?").arg(count);
    } else if (firstIsFolder) {
        setWindowTitle(QStringLiteral("Confirm Folder Delete"));
        text = QStringLiteral("Are you sure you want to remove the folder %1 and all its contents?")
                   .arg(name);
    } else {
        setWindowTitle(QStringLiteral("Confirm File Delete"));
        text = QStringLiteral("Are you sure you want to delete %1?").arg(name);
    }

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon::fromTheme(QStringLiteral("dialog-warning"),
                                        style()->standardIcon(QStyle::SP_MessageBoxWarning))
                           .pixmap(32, 32));
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* prompt = new QLabel(text, this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    prompt->setTextFormat(Qt::PlainText);
    prompt->setWordWrap(true);
    if (name != firstName && count < 2) prompt->setToolTip(firstName);
    top->addWidget(prompt, 1);
    layout->addLayout(top);
    layout->addStretch(1);
    layout->addLayout(ButtonRow());

    AddButton(QStringLiteral("&Yes"), QStringLiteral("btnYes"), mrYes);
    SetDefaultButton(AddButton(QStringLiteral("&No"), QStringLiteral("btnNo"), mrNo));
    SetEscapeResult(mrNo);

    const int height = layout->heightForWidth(kWidth);
    setFixedSize(kWidth, std::max(113, height));
}
