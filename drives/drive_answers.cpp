#include "drives/drive_answers.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"
#include "drives/remembered_shares.h"

#include <objbase.h>

namespace kelvarin {

// Shared by the window and every question still waiting or being asked for
// it; the last one to let go frees it.
struct AnswerSink {
    CRITICAL_SECTION lock;
    HWND window; // null once closed
    UINT message;
    LONG references;
};

namespace {

constexpr int kOtherLane = kLetterCount;
constexpr int kLaneCount = kLetterCount + 1;
// A question unanswered after kHeldMs holds its runner: it may wait for
// something (a share whose server is away, a disk spinning up), and another
// runner goes on with the questions of the other lanes. Most such questions
// only load the shell's icons of a kind of drive for the first time, which
// more runners would wait for too (the loader's lock): two runners at most
// answer at once, besides those held past kStuckMs, which wait for a drive.
constexpr DWORD kHeldMs = 15;
constexpr DWORD kStuckMs = 250;
constexpr int kAnswering = 2;
// A runner other than the first that has had nothing to do for this long
// ends; the first waits for questions as long as the process lives.
constexpr DWORD kIdleMs = 2000;

// Questions wait in one queue, in the order asked; each is about one lane
// (a drive letter, or none), and no two questions of a lane are answered
// at once. Runners take the first question whose lane is free. One runner
// asks the drives in turn, as a program asking them one by one would; a
// runner held up by one drive keeps that question, and the watch starts
// another runner for the rest, so a drive that never answers holds up only
// the questions about it. Runners live as long as the process: an idle one
// only waits, and one held by a drive that never answers ends with it.
struct Runner {
    bool alive;
    DWORD since; // when its question began; 0 while it has none
    HANDLE thread;
};
constexpr int kMostRunners = kLaneCount + 1;

struct Answering {
    CRITICAL_SECTION lock;
    DriveAnswer* first;
    DriveAnswer* last;
    bool laneBusy[kLaneCount];
    Runner runners[kMostRunners];
    int idle;
    HANDLE work;  // set while questions wait
    HANDLE watch; // set while a runner is answering
};
Answering g_answering;
bool g_ready = false;

DriveAsker g_asker = askDrive;
AnswerTrace g_trace = nullptr;

void trace(AnswerEvent event, int runner, const DriveAnswer* answer) {
    if (g_trace != nullptr) {
        g_trace(event, runner, answer);
    }
}

void release(AnswerSink* sink) {
    if (InterlockedDecrement(&sink->references) == 0) {
        DeleteCriticalSection(&sink->lock);
        HeapFree(GetProcessHeap(), 0, sink);
    }
}

bool isOpen(AnswerSink* sink) {
    EnterCriticalSection(&sink->lock);
    const bool open = sink->window != nullptr;
    LeaveCriticalSection(&sink->lock);
    return open;
}

// Posting under the lock: the window's close either comes first (and
// nothing is posted) or finds the answer in its queue and frees it.
void deliver(DriveAnswer* answer) {
    AnswerSink* const sink = answer->sink;
    bool posted = false;
    EnterCriticalSection(&sink->lock);
    if (sink->window != nullptr) {
        posted =
            PostMessageA(sink->window, sink->message, 0, reinterpret_cast<LPARAM>(answer)) != FALSE;
    }
    LeaveCriticalSection(&sink->lock);
    if (!posted) {
        freeAnswer(answer);
    }
    release(sink);
}

void answerQuestion(DriveAnswer& answer) {
    DriveRecord& record = answer.record;
    if (answer.question == Question::Drive) {
        return g_asker(record);
    }
    if (answer.question == Question::Refresh) {
        return refreshExplorerImage(record.iconLocation, record.rootPath);
    }
    if (answer.question == Question::Picture) {
        char icon[MAX_PATH];
        answer.made = makeIconFromPicture(record.iconLocation, icon);
        copyText(record.iconLocation, icon);
        return;
    }
    // A remembered share's own icon is the system's network drive icon:
    // nothing asks the share.
    char network[MAX_PATH] = {};
    if (record.remembered) {
        networkDriveIcon(network);
    }
    const char* location = record.iconLocation[0] != '\0' ? record.iconLocation
                           : record.remembered            ? network
                                                          : record.rootPath;
    const int size = answer.question == Question::Large
                         ? explorerSize(kExtraLargeSize, record.iconSize)
                         : record.iconSize;
    record.icon = loadIconFromLocation(location, size);
    if (answer.question == Question::Preview) {
        answer.note = locationNote(record.iconLocation);
    }
    for (int i = 0; answer.question == Question::Preview && i < kExplorerSizeCount; ++i) {
        const int pixels = explorerSize(kExplorerSizes[i], record.iconSize);
        // The large one is the size just loaded at every DPI.
        answer.sizes[i] =
            pixels == size ? CopyIcon(record.icon) : loadIconFromLocation(location, pixels);
        answer.ownFrames |= hasOwnFrame(location, pixels) ? 1u << i : 0;
    }
}

// The first waiting question whose lane no runner is answering, taken out
// of the queue; null when there is none. Under the lock.
DriveAnswer* takeAnswerable() {
    Answering& a = g_answering;
    DriveAnswer* before = nullptr;
    for (DriveAnswer* answer = a.first; answer != nullptr; before = answer, answer = answer->next) {
        if (a.laneBusy[answer->lane]) {
            continue;
        }
        (before != nullptr ? before->next : a.first) = answer->next;
        if (a.last == answer) {
            a.last = before;
        }
        answer->next = nullptr;
        a.laneBusy[answer->lane] = true;
        return answer;
    }
    return nullptr;
}

bool startRunner();

// COM gave the thread's apartment a window: what arrives for it (a
// broadcast, a call from another apartment) is answered while it waits.
void waitPumping(HANDLE event, DWORD milliseconds) {
    if (MsgWaitForMultipleObjects(1, &event, FALSE, milliseconds, QS_ALLINPUT) ==
        WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
}

DWORD WINAPI runAnswers(void* parameter) {
    const int self = static_cast<int>(reinterpret_cast<INT_PTR>(parameter));
    Answering& a = g_answering;
    Runner& runner = a.runners[self];
    trace(AnswerEvent::Started, self, nullptr);
    // The shell's calls need COM on the thread that makes them.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    trace(AnswerEvent::ComReady, self, nullptr);
    DWORD idleSince = GetTickCount();
    for (;;) {
        EnterCriticalSection(&a.lock);
        DriveAnswer* answer = takeAnswerable();
        const bool done = answer == nullptr && self != 0 && GetTickCount() - idleSince >= kIdleMs;
        if (done) {
            CloseHandle(runner.thread);
            runner = Runner{};
        } else if (answer == nullptr) {
            ++a.idle;
            ResetEvent(a.work);
        } else {
            runner.since = GetTickCount() | 1;
            SetEvent(a.watch);
        }
        LeaveCriticalSection(&a.lock);
        if (done) {
            CoUninitialize();
            return 0;
        }
        if (answer == nullptr) {
            waitPumping(a.work, self != 0 ? kIdleMs : INFINITE);
            EnterCriticalSection(&a.lock);
            --a.idle;
            LeaveCriticalSection(&a.lock);
            continue;
        }
        // A question of a window that has closed meanwhile is not asked.
        trace(AnswerEvent::Began, self, answer);
        if (isOpen(answer->sink)) {
            answerQuestion(*answer);
        }
        trace(AnswerEvent::Ended, self, answer);
        const int lane = answer->lane;
        deliver(answer);
        idleSince = GetTickCount();
        EnterCriticalSection(&a.lock);
        runner.since = 0;
        a.laneBusy[lane] = false;
        if (a.first != nullptr) {
            SetEvent(a.work); // one of its lane may have waited behind it
        }
        LeaveCriticalSection(&a.lock);
    }
}

// Under the lock: in the first free place (the first runner's is 0).
bool startRunner() {
    Answering& a = g_answering;
    int slot = 0;
    while (slot < kMostRunners && a.runners[slot].alive) {
        ++slot;
    }
    if (slot == kMostRunners) {
        return false;
    }
    Runner& runner = a.runners[slot];
    runner = Runner{true, 0, nullptr};
    // Started once its place holds its handle, which it closes when it ends.
    runner.thread =
        CreateThread(nullptr, 0, runAnswers, reinterpret_cast<void*>(static_cast<INT_PTR>(slot)),
                     CREATE_SUSPENDED, nullptr);
    if (runner.thread == nullptr) {
        runner = Runner{};
        return false;
    }
    ResumeThread(runner.thread);
    return true;
}

// While questions wait that a free runner could answer, and every runner is
// held, another runner is started, within kAnswering.
DWORD WINAPI watchRunners(void*) {
    Answering& a = g_answering;
    for (;;) {
        WaitForSingleObject(a.watch, INFINITE);
        Sleep(kHeldMs / 3);
        EnterCriticalSection(&a.lock);
        const DWORD now = GetTickCount();
        bool anyBusy = false, allHeld = a.idle == 0;
        int answering = 0;
        for (const Runner& runner : a.runners) {
            const DWORD on = runner.since != 0 ? now - runner.since : 0;
            anyBusy = anyBusy || runner.since != 0;
            allHeld = allHeld && (!runner.alive || on >= kHeldMs);
            answering += runner.alive && on < kStuckMs ? 1 : 0;
        }
        bool answerable = false;
        for (DriveAnswer* answer = a.first; answer != nullptr && !answerable;
             answer = answer->next) {
            answerable = !a.laneBusy[answer->lane];
        }
        if (allHeld && answerable && answering < kAnswering) {
            startRunner();
        }
        if (!anyBusy) {
            ResetEvent(a.watch);
        }
        LeaveCriticalSection(&a.lock);
    }
}

// The lane a question goes to: 0 to 25 for A to Z, 26 for the rest.
int laneOf(Question question, const DriveRecord& record) {
    const bool ofDrive = question == Question::Drive || record.iconLocation[0] == '\0';
    char path[MAX_PATH];
    if (!expandIconPath(ofDrive ? record.rootPath : record.iconLocation, path)) {
        return kOtherLane;
    }
    const int index = path[1] == ':' ? letterIndex(upperLetter(path[0])) : -1;
    return index >= 0 ? index : kOtherLane;
}

DriveAnswer* newQuestion(AnswerSink* sink, Question question, unsigned ticket,
                         const DriveRecord& record, int iconSize) {
    auto* answer = static_cast<DriveAnswer*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DriveAnswer)));
    if (answer != nullptr) {
        answer->question = question;
        answer->ticket = ticket;
        answer->sink = sink;
        copyText(answer->record.rootPath, record.rootPath);
        copyText(answer->record.iconLocation, record.iconLocation);
        answer->record.remembered = record.remembered;
        answer->record.iconSize = iconSize;
        answer->lane = laneOf(question, record);
        InterlockedIncrement(&sink->references);
    }
    return answer;
}

bool queue(DriveAnswer* answer) {
    Answering& a = g_answering;
    EnterCriticalSection(&a.lock);
    // The first question starts the first runner and the watch, once the
    // window is up.
    if (!a.runners[0].alive && startRunner()) {
        const unique_kernel_handle watch(
            CreateThread(nullptr, 0, watchRunners, nullptr, 0, nullptr));
    }
    const bool queued = a.runners[0].alive;
    if (queued) {
        (a.last != nullptr ? a.last->next : a.first) = answer;
        a.last = answer;
        SetEvent(a.work);
    }
    LeaveCriticalSection(&a.lock);
    if (!queued) {
        AnswerSink* const sink = answer->sink;
        freeAnswer(answer);
        release(sink);
    }
    return queued;
}

} // namespace

void freeAnswer(DriveAnswer* answer) {
    if (answer == nullptr) {
        return;
    }
    for (HICON icon : {answer->record.icon, answer->sizes[0], answer->sizes[1], answer->sizes[2]}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
    HeapFree(GetProcessHeap(), 0, answer);
}

AnswerSink* openAnswers(HWND window, UINT message) {
    if (!g_ready) {
        // An empty floppy or optical drive would otherwise stop an answer
        // with the system's "no disk in the drive" box; its queries must
        // simply fail. The threads share the process's mode, so it is set
        // once and kept.
        SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        InitializeCriticalSection(&g_answering.lock);
        g_answering.work = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_answering.watch = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_ready = g_answering.work != nullptr && g_answering.watch != nullptr;
    }
    auto* sink = static_cast<AnswerSink*>(HeapAlloc(GetProcessHeap(), 0, sizeof(AnswerSink)));
    if (sink != nullptr) {
        InitializeCriticalSection(&sink->lock);
        sink->window = window;
        sink->message = message;
        sink->references = 1;
    }
    return sink;
}

void closeAnswers(AnswerSink* sink) {
    if (sink == nullptr) {
        return;
    }
    EnterCriticalSection(&sink->lock);
    const HWND window = sink->window;
    sink->window = nullptr;
    LeaveCriticalSection(&sink->lock);
    MSG message;
    while (PeekMessageA(&message, window, sink->message, sink->message, PM_REMOVE)) {
        freeAnswer(reinterpret_cast<DriveAnswer*>(message.lParam));
    }
    release(sink);
}

bool ask(AnswerSink* sink, Question question, unsigned ticket, const DriveRecord& record,
         int iconSize) {
    if (sink == nullptr || !g_ready) {
        return false;
    }
    DriveAnswer* answer = newQuestion(sink, question, ticket, record, iconSize);
    if (answer == nullptr) {
        return false;
    }
    // A drive's icon kept on another drive is asked in that drive's lane,
    // so neither drive waits for the other.
    if (question == Question::Drive && laneOf(Question::Icon, record) != answer->lane) {
        answer->record.iconLocation[0] = '\0';
        if (DriveAnswer* icon = newQuestion(sink, Question::Icon, ticket, record, iconSize)) {
            queue(icon);
        }
    }
    return queue(answer);
}

void setDriveAsker(DriveAsker asker) {
    g_asker = asker != nullptr ? asker : askDrive;
}

void setAnswerTrace(AnswerTrace trace) {
    g_trace = trace;
}

} // namespace kelvarin
