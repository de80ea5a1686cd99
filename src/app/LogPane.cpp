#include "app/LogPane.h"

#include "views/ViewQuestions.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSaveFile>

TLogPane::TLogPane(QWidget* parent) : TLogText(parent) {
    setObjectName(QStringLiteral("LogPane"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    setFont(font);

    const auto make = [this](const char* name, const QString& caption) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    Save_ = make("actLogSave", QStringLiteral("&Save"));
    SaveAs_ = make("actLogSaveAs", QStringLiteral("Save &as..."));
    Clear_ = make("actLogClear", QStringLiteral("&Clear content"));
    connect(Save_, &QAction::triggered, this, &TLogPane::Save);
    connect(SaveAs_, &QAction::triggered, this, &TLogPane::SaveAs);
    connect(Clear_, &QAction::triggered, this, &TLogText::ClearLines);
    connect(this, &TLogText::LinesChanged, this, &TLogPane::UpdateActions);
    UpdateActions();
}

bool TLogPane::WriteTo(const QString& fileName) {
    // A safe replace: a write that fails half way leaves the old file, not a torn one.
    QSaveFile file(fileName);
    bool ok = !fileName.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (ok) {
        for (const QString& line : Lines()) {
            if (file.write(line.toUtf8() + '\n') < 0) {
                ok = false;
                break;
            }
        }
        ok = ok && file.commit();
    }
    if (!ok) {
        file.cancelWriting();
        AppendLine(QStringLiteral("Unable to write to %1").arg(fileName), 0x0000FF);
    }
    return ok;
}

bool TLogPane::SaveAndClear(const QString& fileName) {
    if (!WriteTo(fileName)) return false;
    ClearLines();
    return true;
}

bool TLogPane::Save() {
    const QString fileName = LogFileName ? LogFileName() : QString();
    // No log file set: the user says where.
    if (fileName.isEmpty()) return SaveAs();
    return SaveAndClear(fileName);
}

bool TLogPane::SaveAs() {
    if (!Questions_) return false;
    const QString fileName = Questions_->PickFile(
        QStringLiteral("Save log as"), LogFileName ? LogFileName() : QString(),
        QStringLiteral("Log Files (*.log);;Text Files (*.txt);;All Files (*)"), true);
    return !fileName.isEmpty() && SaveAndClear(fileName);
}

void TLogPane::UpdateActions() {
    const bool lines = HasLines();
    for (QAction* action : {Save_, SaveAs_, Clear_})
        action->setEnabled(lines);
}

void TLogPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuLog"));
    menu.addActions({Save_, SaveAs_, Clear_});
    menu.exec(event->globalPos());
}
