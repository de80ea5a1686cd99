#pragma once

#include "engine/EngineSettings.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <vector>

// Read-only coloured log lines. Lines arrive by the thousand during a big transfer (each
// file is several commands and replies), so they are gathered and written in one edit a
// few times a second, and only the newest lines are kept: laying out and holding every
// line of a long run would cost more than the transfer itself.
class TLogText : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int MaxLines = 5000;
    static constexpr int FlushMs = 100;

    explicit TLogText(QWidget* parent = nullptr);

    // Appends the text as a new line (carriage returns and trailing line breaks dropped)
    // in the colour (0x00BBGGRR); the view follows the newest line. An empty text is
    // ignored.
    void AppendLine(const QString& text, TColor color);
    // Drops the shown and the waiting lines.
    void ClearLines();
    // These see the waiting lines too.
    bool HasLines() const;
    QStringList Lines() const;

Q_SIGNALS:
    // Lines came or went, shown or still waiting.
    void LinesChanged();

private:
    struct TPending {
        QString Text;
        TColor Color;
    };
    void Flush();

    std::vector<TPending> Pending_;
    QTimer FlushTimer_;
};
