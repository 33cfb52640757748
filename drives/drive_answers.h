// Asking drives off the window's thread. A drive that answers slowly (a
// network share whose server is away, a waking disk) holds up only the
// thread that asked it; the window gets each answer as a posted message and
// shows it when it comes.
#pragma once

#include "drives/drive_record.h"

#include <windows.h>

namespace kelvarin {

enum class Question {
    Drive,   // the drive's type, the shell's name for it and its icon
    Icon,    // the icon of a location, for the drive's list image
    Preview, // the icon of a location, for the preview only
};

// One answer, posted to the window as the message's lParam. The window owns
// it from then on and frees it with freeAnswer (which destroys an icon not
// taken out of it).
struct AnswerSink;
struct DriveAnswer {
    Question question;
    unsigned ticket;    // the asker's, handed back unchanged
    DriveRecord record; // rootPath and iconLocation as asked; the rest answered
    AnswerSink* sink;   // where it goes
};

void freeAnswer(DriveAnswer* answer);

// Where the answers of one window go. Opened when the window starts asking,
// closed when it goes: once closeAnswers returns, no answer reaches the
// window any more, those already posted are freed, and an answer that comes
// later is freed by the thread that made it.
AnswerSink* openAnswers(HWND window, UINT message);
void closeAnswers(AnswerSink* sink);

// Asks on a thread of its own about record's drive (rootPath) and, for an
// icon, its location (iconLocation; empty for the drive's own). False when
// no thread could be started.
bool ask(AnswerSink* sink, Question question, unsigned ticket, const DriveRecord& record);

// How a thread asks: askDrive unless a test slows or stops a drive's answer.
using DriveAsker = void (*)(DriveRecord& record);
void setDriveAsker(DriveAsker asker);

} // namespace kelvarin
