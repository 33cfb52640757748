// Handing an apply's changes to the writer and reading what it did: the
// window never writes the machine's settings itself. The writer is Kelvarin
// started once more, through the elevation prompt where the window's token
// lacks the rights; it is waited for off the window's thread, so the window
// keeps answering while the prompt is up.
#include "editor/drive_editor.h"

#include "common/platform.h"
#include "common/product.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/drive_settings.h"
#include "drives/icon_maker.h"
#include "res/resource.h"
#include "writer/settings_writer.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace kelvarin {

namespace {

char g_writer[MAX_PATH] = ""; // empty: this program itself

struct WriterStart {
    HWND window;
    UINT message;
    bool elevated;
    char program[MAX_PATH];
    char parameters[MAX_PATH + 16];
};

DWORD WINAPI waitForWriter(void* parameter) {
    const unique_heap<WriterStart> start(static_cast<WriterStart*>(parameter));
    auto* outcome = static_cast<WriteOutcome*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WriteOutcome)));
    if (outcome == nullptr) {
        return 1;
    }
    const unique_kernel_handle process(startProgram(start.get()->window, start.get()->program,
                                                    start.get()->parameters, start.get()->elevated,
                                                    outcome->error));
    outcome->started = static_cast<bool>(process);
    outcome->status = kChangeSetRefused;
    if (process && WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.get(), &outcome->status);
    }
    if (!PostMessageA(start.get()->window, start.get()->message, 0,
                      reinterpret_cast<LPARAM>(outcome))) {
        freeWriteOutcome(outcome);
    }
    return 0;
}

// Explorer shows a drive's icon and name from its caches until it is told
// that they changed.
void notifyDriveChanged(const char* rootPath) {
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHA, rootPath, nullptr);
}

} // namespace

void setWriterProgram(const char* program) {
    copyText(g_writer, program);
}

void freeWriteOutcome(WriteOutcome* outcome) {
    HeapFree(GetProcessHeap(), 0, outcome);
}

// A new job, none being written: the one writer at a time.
bool DriveEditor::newJob(bool all, bool exitAfter) {
    if (job_) {
        return false;
    }
    job_.reset(
        static_cast<WriteJob*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WriteJob))));
    if (job_) {
        job_.get()->all = all;
        job_.get()->exitAfter = exitAfter;
    }
    return static_cast<bool>(job_);
}

// What the window showed is what is written: a value too long to show is
// kept unless the user gave its field another text; a fixed disk without a
// stored name has its volume label set, and only when the name changed; an
// icon made of a picture is installed by the writer.
void DriveEditor::addChange(char letter, bool restore) {
    WriteJob& job = *job_.get();
    const DriveRecord& values = drives_.record(letter);
    DriveChange& change = job.set.changes[job.set.count++];
    change = DriveChange{};
    change.letter = letter;
    // Read with the fields' own sizes: what did not fit them was not shown.
    const int slot = letterIndex(letter);
    static_assert(sizeof job.before[0] == sizeof values.iconLocation, "the icon field's size");
    const bool iconTooLong = readSettingsText(letter, kDefaultIconKey, job.before[slot],
                                              sizeof job.before[slot]) == StoredText::TooLong;
    job.beforeKnown[slot] = !iconTooLong;
    if (restore) {
        change.restore = 1;
        return;
    }
    char name[sizeof values.label];
    const bool nameTooLong =
        readSettingsText(letter, kDefaultLabelKey, name, sizeof name) == StoredText::TooLong;
    change.writeIcon = !(iconTooLong && values.iconLocation[0] == '\0');
    copyText(change.iconLocation, values.iconLocation);
    const bool ownName = lstrcmpA(values.label, values.shellName) == 0;
    if (namesItsVolume(values)) {
        change.name = ownName ? NameChange::Keep : NameChange::Volume;
    } else {
        change.name = nameTooLong && ownName ? NameChange::Keep : NameChange::Settings;
    }
    copyText(change.label, values.label);
    // A picture's icon waits in the user's own folder, beside the changes.
    char path[MAX_PATH], folder[MAX_PATH];
    copyText(path, values.iconLocation);
    PathParseIconLocationA(path);
    if (madeIconsFolder(folder) && isInFolder(path, folder) &&
        lstrcmpiA(PathFindExtensionA(path), ".ico") == 0 &&
        PathFindFileNameA(path) == path + lstrlenA(folder) + 1) {
        copyText(change.iconFile, PathFindFileNameA(path));
    }
}

// The changes go beside the icons they may install; the writer is started
// from a thread of its own. While it runs, no other apply starts.
void DriveEditor::startWrite() {
    char folder[MAX_PATH], changes[MAX_PATH];
    auto* start = static_cast<WriterStart*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WriterStart)));
    const bool saved =
        start != nullptr && madeIconsFolder(folder) &&
        formatText(changes, "%s\\changes-%lu.kvc", folder, GetCurrentProcessId()) > 0 &&
        saveChangeSet(job_.get()->set, changes);
    if (saved) {
        copyText(job_.get()->changes, changes);
        start->window = dialog_;
        start->message = kWriteDoneMessage;
        start->elevated = writesNeedElevation();
        if (g_writer[0] != '\0') {
            copyText(start->program, g_writer);
        } else {
            GetModuleFileNameA(nullptr, start->program, MAX_PATH);
        }
        writerParameters(changes, start->parameters);
    }
    const HANDLE thread =
        saved ? CreateThread(nullptr, 0, waitForWriter, start, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        HeapFree(GetProcessHeap(), 0, start);
        auto* outcome = static_cast<WriteOutcome*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WriteOutcome)));
        if (outcome != nullptr) {
            outcome->status = kChangeSetRefused;
            outcome->started = true; // as if it had refused: each drive reported
            PostMessageA(dialog_, kWriteDoneMessage, 0, reinterpret_cast<LPARAM>(outcome));
        }
        return;
    }
    CloseHandle(thread);
    for (int id : {IDC_APPLY, IDC_OK}) {
        EnableWindow(GetDlgItem(dialog_, id), FALSE);
    }
}

// Each drive the writer wrote is shown as written and Explorer is told;
// each it could not write stays marked and is reported. Where the writer
// never ran (the elevation refused), nothing was written: one box says so.
void DriveEditor::onWriteDone(WriteOutcome* outcome) {
    const WriteOutcome done = *outcome;
    freeWriteOutcome(outcome);
    if (!job_) {
        return;
    }
    const unique_heap<WriteJob> job(job_.release());
    DeleteFileA(job.get()->changes);
    for (int id : {IDC_APPLY, IDC_OK}) {
        EnableWindow(GetDlgItem(dialog_, id), TRUE);
    }
    if (!done.started) {
        MessageBoxA(dialog_,
                    done.error == ERROR_CANCELLED
                        ? "管理者の確認が取り消されたため、何も書き込みませんでした。"
                        : "書き込みに必要な権限で Kelvarin を起動できなかったため、何も書き込みま"
                          "せんでした。",
                    kProductName, MB_ICONWARNING | MB_OK);
    } else {
        bool written = false;
        for (int i = 0; i < job.get()->set.count; ++i) {
            const DriveChange& change = job.get()->set.changes[i];
            const bool failed =
                done.status == kChangeSetRefused || (done.status >> (change.letter - 'A') & 1) != 0;
            if (failed) {
                reportWriteFailure(change.letter);
            } else {
                written = true;
                showWritten(*job.get(), change);
            }
        }
        if (written) {
            SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
        }
    }
    // Last: the window may go with the answer.
    if (job.get()->exitAfter) {
        SendMessageA(dialog_, WM_COMMAND, IDC_CANCEL, 0);
    }
}

// A written drive: what is stored now decides its name next time, a label
// written is its volume's, an installed icon's location is the one stored.
void DriveEditor::showWritten(const WriteJob& job, const DriveChange& change) {
    const char letter = change.letter;
    const int slot = letterIndex(letter);
    if (change.restore) {
        return restored(letter, job.beforeKnown[slot] ? job.before[slot] : nullptr, true);
    }
    if (job.all) {
        drives_.setMarked(letter, false);
    }
    DriveRecord record = drives_.record(letter);
    const DriveRecord stored = storedRecord(letter);
    record.storedName = stored.storedName;
    if (change.name == NameChange::Volume) {
        copyText(record.shellName, change.label);
    }
    if (change.iconFile[0] != '\0') {
        copyText(record.iconLocation, stored.iconLocation);
        if (letter == shown_) {
            fields_.selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
        }
    }
    storeRecord(record);
    if (letter == shown_) {
        fields_.showType(record);
    }
    notifyDriveChanged(record.rootPath);
    refreshImages(letter, job.beforeKnown[slot] ? job.before[slot] : nullptr, record.iconLocation);
}

// Read again as at start-up: the drive now shows what Windows shows, and
// any edits of it are gone with its mark. Its own icon is asked for; the
// type and the shell's name are what it answered before.
void DriveEditor::restored(char letter, const char* before, bool removed) {
    DriveRecord record = drives_.record(letter);
    const DriveRecord stored = storedRecord(letter);
    copyText(record.iconLocation, stored.iconLocation);
    copyText(record.label, stored.label);
    record.storedName = stored.storedName;
    if (record.answered) {
        settleLabel(record);
    }
    storeRecord(record);
    askIcon(letter);
    drives_.setMarked(letter, false);
    if (letter == shown_) {
        showRecord(drives_.record(letter));
    }
    if (removed) {
        notifyDriveChanged(record.rootPath);
        refreshImages(letter, before, "");
    }
}

} // namespace kelvarin
