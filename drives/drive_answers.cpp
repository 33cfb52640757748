#include "drives/drive_answers.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"

#include <objbase.h>

namespace kelvarin {

// Shared by the window and every thread still asking for it; the last one
// to let go frees it.
struct AnswerSink {
    CRITICAL_SECTION lock;
    HWND window; // null once closed
    UINT message;
    LONG references;
};

namespace {

DriveAsker g_asker = askDrive;

void release(AnswerSink* sink) {
    if (InterlockedDecrement(&sink->references) == 0) {
        DeleteCriticalSection(&sink->lock);
        HeapFree(GetProcessHeap(), 0, sink);
    }
}

DWORD WINAPI answerOnThread(void* parameter) {
    auto* answer = static_cast<DriveAnswer*>(parameter);
    AnswerSink* const sink = answer->sink;
    // The shell's calls need COM on the thread that makes them.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DriveRecord& record = answer->record;
    if (answer->question == Question::Drive) {
        g_asker(record);
    } else {
        record.icon = loadDriveIcon(record.iconLocation, record.rootPath);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    // Posting under the lock: the window's close either comes first (and
    // nothing is posted) or finds the answer in its queue and frees it.
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
    return 0;
}

} // namespace

void freeAnswer(DriveAnswer* answer) {
    if (answer == nullptr) {
        return;
    }
    if (answer->record.icon != nullptr) {
        DestroyIcon(answer->record.icon);
    }
    HeapFree(GetProcessHeap(), 0, answer);
}

AnswerSink* openAnswers(HWND window, UINT message) {
    // An empty floppy or optical drive would otherwise stop an answer with
    // the system's "no disk in the drive" box; its queries must simply fail.
    // The threads share the process's mode, so it is set once and kept.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
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

bool ask(AnswerSink* sink, Question question, unsigned ticket, const DriveRecord& record) {
    if (sink == nullptr) {
        return false;
    }
    auto* answer = static_cast<DriveAnswer*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DriveAnswer)));
    if (answer == nullptr) {
        return false;
    }
    answer->question = question;
    answer->ticket = ticket;
    answer->sink = sink;
    copyText(answer->record.rootPath, record.rootPath);
    copyText(answer->record.iconLocation, record.iconLocation);
    InterlockedIncrement(&sink->references);
    const unique_kernel_handle thread(CreateThread(nullptr, 0, answerOnThread, answer, 0, nullptr));
    if (!thread) {
        release(sink);
        freeAnswer(answer);
        return false;
    }
    return true;
}

void setDriveAsker(DriveAsker asker) {
    g_asker = asker != nullptr ? asker : askDrive;
}

} // namespace kelvarin
