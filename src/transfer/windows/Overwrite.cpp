#include "transfer/windows/Overwrite.h"

#include "views/ViewFormat.h"
#include "views/widgets/ThemeIcons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Width of the dialog at normal DPI; it grows only when the buttons need more.
constexpr int kWidth = 496;
constexpr int kIconSize = 32;

} // namespace

TfrmOverwrite::TfrmOverwrite(const TExistingFile& file, QWidget* parent) : TQuestionDialog(parent) {
    setWindowTitle(QStringLiteral("Confirm File Overwrite"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    const int textWidth =
        kWidth - layout->contentsMargins().left() - layout->contentsMargins().right();

    auto* prompt = new QLabel(this);
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    // A long name is shortened in the middle so that the dialog keeps its size; the whole
    // name is in the tool tip.
    ensurePolished(); // the style's font, which the label will have
    // The full stop closes the sentence, outside the quotes: inside them it would read as
    // part of the name.
    const QString full = QStringLiteral("This folder already contains a file called '%1'.");
    const QString name =
        fontMetrics().elidedText(file.Name, Qt::ElideMiddle,
                                 textWidth - fontMetrics().horizontalAdvance(full.arg(QString())));
    prompt->setText(full.arg(name));
    if (name != file.Name) prompt->setToolTip(file.Name);
    prompt->setTextFormat(Qt::PlainText);
    layout->addWidget(prompt);

    layout->addWidget(
        new QLabel(QStringLiteral("Would you like to replace the existing file"), this));
    layout->addWidget(FileLine(file.Name, file.ExistingSize, file.ExistingDate));
    layout->addWidget(new QLabel(QStringLiteral("with this one?"), this));
    layout->addWidget(FileLine(file.Name, file.NewSize, file.NewDate));
    layout->addStretch(1);
    layout->addLayout(ButtonRow());

    AddButton(QStringLiteral("&Yes"), QStringLiteral("btnYes"), mrYes);
    QPushButton* no = AddButton(QStringLiteral("&No"), QStringLiteral("btnNo"), mrNo);
    AddButton(QStringLiteral("Yes to &All"), QStringLiteral("btnYesToAll"), mrYesToAll);
    AddButton(QStringLiteral("No to A&ll"), QStringLiteral("btnNoToAll"), mrNoToAll);
    QPushButton* recovery =
        AddButton(QStringLiteral("&Recovery"), QStringLiteral("btnRecovery"), mrRetry);
    // Offered only where a resume can work: the existing file is a beginning of the new
    // one, the transfer is binary and the server resumes.
    recovery->setEnabled(file.CanResume && file.ExistingSize < file.NewSize);
    SetDefaultButton(no);
    SetEscapeResult(mrNo);

    const QSize hint = sizeHint();
    setFixedSize(std::max(kWidth, hint.width()), std::max(hint.height(), 228));
}

QWidget* TfrmOverwrite::FileLine(const QString& name, int64_t size, double date) {
    auto* line = new QWidget(this);
    auto* layout = new QGridLayout(line);
    // Indented under the question, as the file it describes.
    layout->setContentsMargins(24, 0, 0, 0);
    layout->setHorizontalSpacing(10);
    layout->setVerticalSpacing(0);

    auto* picture = new QLabel(line);
    picture->setPixmap(FileTypeIcon(name).pixmap(kIconSize, kIconSize));
    picture->setFixedSize(kIconSize, kIconSize);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);

    // Thousands grouped by the locale, so that two near sizes are easy to compare.
    layout->addWidget(
        new QLabel(QStringLiteral("%1 Bytes").arg(QLocale().toString(qlonglong(size))), line), 0,
        1);
    // The time too: two versions of a file are most often from the same day.
    const QDateTime when = DateTimeFromDayNumber(date);
    // Dates carry no seconds, so none are shown.
    const QString time = QLocale().timeFormat(QLocale::ShortFormat).remove(QStringLiteral(":ss"));
    const QString day = QLocale().toString(when.date(), QLocale::LongFormat) + QLatin1Char(' ') +
                        QLocale().toString(when.time(), time);
    layout->addWidget(new QLabel(QStringLiteral("modified on ") + day, line), 1, 1);
    layout->setColumnStretch(1, 1);
    return line;
}
