#include "drives/remembered_shares.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/drive_settings.h"

#include <shellapi.h>

namespace kelvarin {

namespace {

constexpr char kNetworkKey[] = "Network";

// The thread's and the window's: the window stops it and waits for it.
struct WatchState {
    HWND window;
    UINT message;
    HANDLE stop;
    HANDLE changed;
    HKEY key; // the key being watched; closing it ends the watch
};

// Only a change of a key's subkeys or values signals. Until the user's hive
// has a Network key (no connection was ever remembered), the keys directly
// below the hive are watched for it to appear.
bool listen(WatchState& state) {
    unique_hkey key;
    const bool network =
        RegOpenKeyExA(HKEY_CURRENT_USER, kNetworkKey, 0, KEY_NOTIFY, key.put()) == ERROR_SUCCESS;
    if ((!network &&
         RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_NOTIFY, key.put()) != ERROR_SUCCESS) ||
        RegNotifyChangeKeyValue(key.get(), network,
                                REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, state.changed,
                                TRUE) != ERROR_SUCCESS) {
        return false;
    }
    if (state.key != nullptr) {
        RegCloseKey(state.key);
    }
    state.key = key.release();
    return true;
}

// Listens again before telling the window, which reads the connections only
// then: a change made meanwhile signals once more rather than being lost.
DWORD WINAPI watchShares(void* parameter) {
    WatchState& state = *static_cast<WatchState*>(parameter);
    const HANDLE events[] = {state.stop, state.changed};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        if (!listen(state)) {
            return 1;
        }
        PostMessageA(state.window, state.message, 0, 0);
    }
    return 0;
}

} // namespace

struct ShareWatch {
    WatchState state;
    HANDLE thread;
};

bool rememberedShare(char letter, char (&remote)[MAX_PATH]) {
    remote[0] = '\0';
    char path[16];
    formatText(path, "%s\\%c", kNetworkKey, letter);
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    // Read into a scratch buffer one byte longer, terminated by hand: a
    // value stored without its terminator, or too long, is no path.
    char scratch[MAX_PATH + 1] = {};
    DWORD type = REG_NONE, size = MAX_PATH;
    if (RegQueryValueExA(key.get(), "RemotePath", nullptr, &type, reinterpret_cast<BYTE*>(scratch),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    scratch[size < MAX_PATH ? size : MAX_PATH] = '\0';
    if (boundedTextLength(scratch, sizeof scratch) >= MAX_PATH) {
        return false;
    }
    copyText(remote, scratch);
    return remote[0] == '\\' && remote[1] == '\\';
}

DWORD rememberedShares() {
    unique_hkey network;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNetworkKey, 0, KEY_ENUMERATE_SUB_KEYS, network.put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return letterKeys(network.get(), [](char letter) {
        char remote[MAX_PATH];
        return rememberedShare(letter, remote);
    });
}

bool markRemembered(DriveRecord& record) {
    char remote[MAX_PATH];
    if (!rememberedShare(record.rootPath[0], remote)) {
        return false;
    }
    driveTypeName(DRIVE_REMOTE, record.typeName);
    remoteLabel(remote, record.shellName);
    record.answered = 1;
    record.present = 1;
    record.remembered = 1;
    return true;
}

// The system's own where it says (Windows Vista on), else shell32's network
// drive, whose resource every Windows has.
void networkDriveIcon(char (&location)[MAX_PATH]) {
    SHSTOCKICONINFO stock{};
    stock.cbSize = sizeof stock;
    char path[MAX_PATH] = {};
    using StockIcon = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);
    const auto stockIcon = systemFunction<StockIcon>("shell32.dll", "SHGetStockIconInfo");
    // Wine answers no index (-1) for it.
    if (stockIcon != nullptr && SUCCEEDED(stockIcon(SIID_DRIVENET, SHGSI_ICONLOCATION, &stock)) &&
        stock.iIcon != -1 &&
        WideCharToMultiByte(CP_ACP, 0, stock.szPath, -1, path, MAX_PATH, nullptr, nullptr) != 0) {
        formatText(location, "%s,%d", path, stock.iIcon);
        return;
    }
    copyText(location, "shell32.dll,-10");
}

// The first listening is done here, so a change right after the call is
// never missed.
ShareWatch* watchRememberedShares(HWND window, UINT message) {
    auto* watch =
        static_cast<ShareWatch*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ShareWatch)));
    if (watch == nullptr) {
        return nullptr;
    }
    watch->state = {window, message, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                    CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr};
    if (watch->state.stop != nullptr && watch->state.changed != nullptr && listen(watch->state)) {
        watch->thread = CreateThread(nullptr, 0, watchShares, &watch->state, 0, nullptr);
    }
    if (watch->thread == nullptr) {
        stopWatching(watch);
        return nullptr;
    }
    return watch;
}

// The thread waits for nothing but the two events, so it ends at once.
void stopWatching(ShareWatch* watch) {
    if (watch == nullptr) {
        return;
    }
    if (watch->state.stop != nullptr) {
        SetEvent(watch->state.stop);
    }
    // A thread that did not end keeps what it reads: its state is left.
    if (watch->thread != nullptr && WaitForSingleObject(watch->thread, 5000) != WAIT_OBJECT_0) {
        return;
    }
    for (HANDLE handle : {watch->thread, watch->state.stop, watch->state.changed}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    if (watch->state.key != nullptr) {
        RegCloseKey(watch->state.key);
    }
    HeapFree(GetProcessHeap(), 0, watch);
}

} // namespace kelvarin
