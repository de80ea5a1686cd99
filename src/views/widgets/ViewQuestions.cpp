#include "views/widgets/ViewQuestions.h"

#include "transfer/TransferQuestions.h"
#include "transfer/windows/Confirm.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

bool TViewQuestions::ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) {
    QPointer<TfrmConfirm> dialog = new TfrmConfirm(count, firstName, firstIsFolder, Parent_);
    const int result = dialog->exec();
    // The parent (and the dialog with it) may be gone when the window closed meanwhile.
    if (!dialog) return false;
    delete dialog;
    return result == mrYes;
}

void TViewQuestions::ShowMessage(const QString& text) {
    QMessageBox::warning(Parent_, QApplication::applicationDisplayName(), text);
}

void TViewQuestions::ShowError(const QString& text) {
    QMessageBox::critical(Parent_, QApplication::applicationDisplayName(), text);
}

QMessageBox* NewCertificateBox(const TCertificateInfo& certificate, QWidget* parent) {
    auto* box =
        new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                        CertificateQuestionHeadline(certificate), QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("CertificateQuestion"));
    QStringList fingerprint = FingerprintRows(certificate.Fingerprint);
    for (QString& line : fingerprint)
        line = line.toHtmlEscaped();
    const auto row = [](const QString& caption, const QString& value) {
        return QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
            .arg(caption, value);
    };
    const QString details =
        QStringLiteral("<table>") +
        row(QStringLiteral("Server:"), certificate.Host.toHtmlEscaped()) +
        row(QStringLiteral("Subject:"), certificate.Subject.toHtmlEscaped()) +
        row(QStringLiteral("Issuer:"), certificate.Issuer.toHtmlEscaped()) +
        row(QStringLiteral("Valid from:"), certificate.ValidFrom.toHtmlEscaped()) +
        row(QStringLiteral("Valid until:"), certificate.ValidUntil.toHtmlEscaped()) +
        row(QStringLiteral("SHA-256:"),
            QStringLiteral("<tt>%1</tt>").arg(fingerprint.join(QStringLiteral("<br>")))) +
        QStringLiteral("</table><p>Trust this certificate only if you know it is the "
                       "server's own, for instance when its fingerprint matches the one "
                       "its administrator gave you. <b>Trust Always</b> remembers it for "
                       "this server.</p>");
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(details);
    box->addButton(QStringLiteral("Trust &Once"), QMessageBox::AcceptRole)
        ->setObjectName(QStringLiteral("btnTrustOnce"));
    box->addButton(QStringLiteral("Trust &Always"), QMessageBox::AcceptRole)
        ->setObjectName(QStringLiteral("btnTrustAlways"));
    QPushButton* refuse = box->addButton(QStringLiteral("&Refuse"), QMessageBox::RejectRole);
    refuse->setObjectName(QStringLiteral("btnRefuse"));
    box->setDefaultButton(refuse);
    box->setEscapeButton(refuse);
    return box;
}

TCertificateTrust TViewQuestions::AskCertificateTrust(const TCertificateInfo& certificate) {
    QPointer<QMessageBox> box = NewCertificateBox(certificate, Parent_);
    box->exec();
    // The parent (and the box with it) may be gone when the window closed meanwhile.
    if (!box) return TCertificateTrust::Refuse;
    const QString chosen = box->clickedButton() ? box->clickedButton()->objectName() : QString();
    delete box;
    if (chosen == QLatin1String("btnTrustOnce")) return TCertificateTrust::Once;
    if (chosen == QLatin1String("btnTrustAlways")) return TCertificateTrust::Always;
    return TCertificateTrust::Refuse;
}

bool TViewQuestions::AskYesNo(const QString& text) {
    return QMessageBox::question(Parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

int TViewQuestions::AskChoice(const QString& text, const QStringList& choices, int cancel) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, Parent_);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    if (!buttons.isEmpty()) box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    if (cancel >= 0 && cancel < buttons.size()) box.setEscapeButton(buttons.at(cancel));
    box.exec();
    const int chosen = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return chosen >= 0 ? chosen : cancel;
}

QString TViewQuestions::PickFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(Parent_, title, start);
}

QString TViewQuestions::PickFile(const QString& title, const QString& start, const QString& filter,
                                 bool save) {
    return save ? QFileDialog::getSaveFileName(Parent_, title, start, filter)
                : QFileDialog::getOpenFileName(Parent_, title, start, filter);
}

QString TViewQuestions::AskText(const QString& title, const QString& label,
                                const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Parent_, title, label, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}
