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

// The questions waiting in one lane, and the thread that answers them.
struct Lane {
    DriveAnswer* first;
    DriveAnswer* last;
    HANDLE wake; // set while questions wait
    bool started;
};

// The lanes serve every window of the process, one after another; they are
// set up by the first openAnswers, on the window's thread, and kept.
CRITICAL_SECTION g_lanesLock;
Lane g_lanes[kLaneCount];
bool g_lanesReady = false;

DriveAsker g_asker = askDrive;

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

DriveAnswer* nextQuestion(Lane& lane) {
    for (;;) {
        EnterCriticalSection(&g_lanesLock);
        DriveAnswer* answer = lane.first;
        if (answer != nullptr) {
            lane.first = answer->next;
            lane.last = lane.first != nullptr ? lane.last : nullptr;
            answer->next = nullptr;
        } else {
            ResetEvent(lane.wake);
        }
        LeaveCriticalSection(&g_lanesLock);
        if (answer != nullptr) {
            return answer;
        }
        // COM gave the thread's apartment a window: what arrives for it (a
        // broadcast, a call from another apartment) is answered while the
        // lane waits, so nobody waits on an idle lane.
        if (MsgWaitForMultipleObjects(1, &lane.wake, FALSE, INFINITE, QS_ALLINPUT) ==
            WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
        }
    }
}

// A lane's thread lives as long as the process: an idle one only waits, and
// one held up by a drive that never answers is ended with the process.
DWORD WINAPI answerLane(void* parameter) {
    Lane& lane = *static_cast<Lane*>(parameter);
    // The shell's calls need COM on the thread that makes them.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (;;) {
        DriveAnswer* answer = nextQuestion(lane);
        // A question of a window that has closed meanwhile is not asked.
        if (isOpen(answer->sink)) {
            answerQuestion(*answer);
        }
        deliver(answer);
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
        InterlockedIncrement(&sink->references);
    }
    return answer;
}

bool queue(int index, DriveAnswer* answer) {
    Lane& lane = g_lanes[index];
    EnterCriticalSection(&g_lanesLock);
    if (!lane.started) {
        const unique_kernel_handle thread(CreateThread(nullptr, 0, answerLane, &lane, 0, nullptr));
        lane.started = static_cast<bool>(thread);
    }
    const bool queued = lane.started;
    if (queued) {
        (lane.last != nullptr ? lane.last->next : lane.first) = answer;
        lane.last = answer;
        SetEvent(lane.wake);
    }
    LeaveCriticalSection(&g_lanesLock);
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
    if (!g_lanesReady) {
        // An empty floppy or optical drive would otherwise stop an answer
        // with the system's "no disk in the drive" box; its queries must
        // simply fail. The threads share the process's mode, so it is set
        // once and kept.
        SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        InitializeCriticalSection(&g_lanesLock);
        for (Lane& lane : g_lanes) {
            lane.wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        }
        g_lanesReady = true;
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
    if (sink == nullptr || !g_lanesReady) {
        return false;
    }
    DriveAnswer* answer = newQuestion(sink, question, ticket, record, iconSize);
    if (answer == nullptr) {
        return false;
    }
    const int lane = laneOf(question, record);
    // A drive's icon kept on another drive is asked in that drive's lane,
    // so neither drive waits for the other.
    const int iconLane = laneOf(Question::Icon, record);
    if (question == Question::Drive && iconLane != lane) {
        answer->record.iconLocation[0] = '\0';
        if (DriveAnswer* icon = newQuestion(sink, Question::Icon, ticket, record, iconSize)) {
            queue(iconLane, icon);
        }
    }
    return queue(lane, answer);
}

void setDriveAsker(DriveAsker asker) {
    g_asker = asker != nullptr ? asker : askDrive;
}

} // namespace kelvarin
