#include "views/widgets/LogText.h"

#include <QScrollBar>
#include <QTextBlock>

TLogText::TLogText(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    FlushTimer_.setSingleShot(true);
    FlushTimer_.setInterval(FlushMs);
    connect(&FlushTimer_, &QTimer::timeout, this, &TLogText::Flush);
}

void TLogText::AppendLine(const QString& text, TColor color) {
    QString line = text;
    line.remove(QLatin1Char('\r'));
    while (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    if (line.isEmpty()) return;
    Pending_.push_back({line, color});
    // Only the newest lines would survive the flush anyway.
    if (Pending_.size() > 2 * static_cast<size_t>(MaxLines))
        Pending_.erase(Pending_.begin(), Pending_.end() - MaxLines);
    if (!FlushTimer_.isActive()) FlushTimer_.start();
    Q_EMIT LinesChanged();
}

void TLogText::ClearLines() {
    Pending_.clear();
    FlushTimer_.stop();
    clear();
    Q_EMIT LinesChanged();
}

bool TLogText::HasLines() const {
    return !Pending_.empty() || !document()->isEmpty();
}

QStringList TLogText::Lines() const {
    QStringList lines;
    if (!document()->isEmpty())
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
            lines << block.text();
    for (const TPending& p : Pending_)
        lines << p.Text;
    return lines.mid(std::max<qsizetype>(0, lines.size() - MaxLines));
}

void TLogText::Flush() {
    if (Pending_.empty()) return;
    if (Pending_.size() > static_cast<size_t>(MaxLines))
        Pending_.erase(Pending_.begin(), Pending_.end() - MaxLines);
    QTextDocument* doc = document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    // The oldest lines go first, in one cut: the document's own limit would walk them
    // block by block, laying each out.
    const int shown = doc->isEmpty() ? 0 : doc->blockCount();
    const int excess = shown + static_cast<int>(Pending_.size()) - MaxLines;
    if (excess >= shown) {
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
    } else if (excess > 0) {
        cursor.setPosition(0);
        cursor.setPosition(doc->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    // Positioned, not moved: a move lays out the block it leaves.
    cursor.setPosition(doc->characterCount() - 1);
    bool first = doc->isEmpty();
    QTextCharFormat format;
    for (const TPending& p : Pending_) {
        format.setForeground(QColor(p.Color & 0xff, (p.Color >> 8) & 0xff, (p.Color >> 16) & 0xff));
        if (!first) cursor.insertBlock();
        first = false;
        cursor.insertText(p.Text, format);
    }
    cursor.endEditBlock();
    Pending_.clear();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
