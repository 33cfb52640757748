// Asking drives off the window's thread. A drive that answers slowly (a
// network share whose server is away, a waking disk) holds up only the
// questions about it; the window gets each answer as a posted message and
// shows it when it comes.
#pragma once

#include "drives/drive_record.h"
#include "drives/icon_maker.h"
#include "drives/location_note.h"

#include <windows.h>

namespace kelvarin {

enum class Question {
    Drive,   // the drive's type, the shell's name for it and its icon
    Icon,    // the icon of a location, for the drive's list image
    Preview, // the icon of a location for the preview, and at Explorer's sizes
    Large,   // the icon of a location at Explorer's extra-large size
    Refresh, // tells Explorer's icon cache the location's picture changed
    Picture, // makes an icon file of the picture at the location
};

// Explorer's sizes of a drive's icon beside the list's: small, large and
// tile, for 96 DPI (scaled like the list's size for others), and extra large.
constexpr int kExplorerSizes[] = {16, 32, 48};
constexpr int kExplorerSizeCount = 3;
constexpr int kExtraLargeSize = 256;

// One answer, posted to the window as the message's lParam. The window owns
// it from then on and frees it with freeAnswer (which destroys an icon not
// taken out of it).
struct AnswerSink;
struct DriveAnswer {
    Question question;
    unsigned ticket;    // the asker's, handed back unchanged
    DriveRecord record; // rootPath and iconLocation as asked; the rest answered
    AnswerSink* sink;   // where it goes
    DriveAnswer* next;  // the next question waiting
    int lane;           // the drive letter it is about (0 for A), 26 for none
    // A preview's icons at Explorer's sizes, and which of them the file has
    // a frame of its own for (bit 0 for the first).
    HICON sizes[kExplorerSizeCount];
    unsigned ownFrames;
    // A preview's note on whether Explorer will find its file later; a
    // picture's outcome, with the icon file made as record.iconLocation.
    LocationNote note;
    MadeIcon made;
};

// A size for 96 DPI at the DPI whose large-icon size is iconSize.
inline int explorerSize(int size, int iconSize) {
    return iconSize > 0 ? MulDiv(size, iconSize, 32) : size;
}

void freeAnswer(DriveAnswer* answer);

// Where the answers of one window go. Opened when the window starts asking,
// closed when it goes: once closeAnswers returns, no answer reaches the
// window any more, those already posted are freed, questions still waiting
// are dropped unasked, and an answer that comes later is freed by the
// thread that made it.
AnswerSink* openAnswers(HWND window, UINT message);
void closeAnswers(AnswerSink* sink);

// Asks about record's drive (rootPath) and, for an icon, its location
// (iconLocation; empty for the drive's own). Each question is about one
// lane: the drive letter it touches (the drive's for a Drive question, the
// location's for an icon), or none. Questions are answered in the order
// asked, the drives in turn by one thread, no two of a lane at once; a
// question that holds its thread for long is left to it while another
// thread goes on with the other lanes, so a drive that never answers holds
// up only the questions about it. Icons are loaded iconSize pixels square
// (0: the system's large-icon size). False when the question could not be
// queued.
bool ask(AnswerSink* sink, Question question, unsigned ticket, const DriveRecord& record,
         int iconSize = 0);

// How a thread asks: askDrive unless a test slows or stops a drive's answer.
using DriveAsker = void (*)(DriveRecord& record);
void setDriveAsker(DriveAsker asker);

// What the answering threads do, for the benchmark's timeline: a thread
// started, its COM set up, a question begun or ended (answer null for the
// first two). Called on the answering threads.
enum class AnswerEvent { Started, ComReady, Began, Ended };
using AnswerTrace = void (*)(AnswerEvent event, int thread, const DriveAnswer* answer);
void setAnswerTrace(AnswerTrace trace);

} // namespace kelvarin
