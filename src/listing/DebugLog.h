#pragma once

#include <QString>

#include <cstdint>

// The debug log: one line per call in "Debug.txt" in the program folder, written
// only while the debug switch is on. Callable from any thread.
void SetDebugLogEnabled(bool on);
bool DebugLogEnabled();

// Where the lines go; defaults to ProgramFilePath("Debug.txt").
void SetDebugLogFile(const QString& path);
QString DebugLogFile();

void DebugLog(const QString& message);
// printf-style; pass texts as UTF-8 (qUtf8Printable).
void DebugLogFmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Milliseconds from a monotonic clock; the engine's tick count.
uint64_t TickCount();
