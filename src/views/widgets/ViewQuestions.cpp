#include "views/widgets/ViewQuestions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

bool TViewQuestions::ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) {
    QString caption;
    QString text;
    if (count >= 2) {
        caption = QStringLiteral("Confirm Multiple File Delete");
        text = QStringLiteral("Are you sure you want to delete these %1 items?").arg(count);
    } else if (firstIsFolder) {
        caption = QStringLiteral("Confirm Folder Delete");
        text = QStringLiteral("Are you sure you want to remove the folder %1 and all its contents?")
                   .arg(firstName);
    } else {
        caption = QStringLiteral("Confirm File Delete");
        text = QStringLiteral("Are you sure you want to delete %1?").arg(firstName);
    }
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, Parent_);
    QAbstractButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QAbstractButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void TViewQuestions::ShowMessage(const QString& text) {
    QMessageBox::warning(Parent_, QApplication::applicationDisplayName(), text);
}
