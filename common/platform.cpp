#include "common/platform.h"

#include "common/text.h"
#include "common/unique_handle.h"

#include <objbase.h>
#include <shellapi.h>

namespace kelvarin {

namespace {

// The DLL search flags (LOAD_LIBRARY_SEARCH_*) came with
// SetDefaultDllDirectories: Windows 8, and Windows 7 and Vista with the
// update that added it.
bool searchFlagsWork() {
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
}

LONG g_wow64 = -1; // not asked yet

} // namespace

void restrictDllSearch() {
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCSTR);
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDirectories>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    // Without it (Windows XP SP1 to an unpatched 7) the current folder at
    // least leaves the search; the program's own folder cannot.
    const auto setDirectory = reinterpret_cast<SetDirectory>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDllDirectoryA")));
    if (setDirectory != nullptr) {
        setDirectory("");
    }
}

HMODULE loadSystemLibrary(const char* name) {
    if (searchFlagsWork()) {
        return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // A full path is never searched for.
    char path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + static_cast<UINT>(lstrlenA(name)) >= MAX_PATH) {
        return nullptr;
    }
    char full[MAX_PATH];
    formatText(full, "%s\\%s", path, name);
    return LoadLibraryA(full);
}

FARPROC systemFunction(const char* dll, const char* name) {
    HMODULE module = GetModuleHandleA(dll);
    if (module == nullptr) {
        module = loadSystemLibrary(dll);
    }
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

bool isWow64() {
    LONG known = InterlockedCompareExchange(&g_wow64, -1, -1);
    if (known < 0) {
        using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto query = reinterpret_cast<IsWow64>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
        BOOL wow64 = FALSE;
        known = query != nullptr && query(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
        InterlockedExchange(&g_wow64, known);
    }
    return known == 1;
}

REGSAM explorerRegistryView() {
    return isWow64() ? KEY_WOW64_64KEY : 0;
}

LONG deleteExplorerKey(HKEY root, const char* path) {
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    const REGSAM view = explorerRegistryView();
    const auto deleteEx =
        view != 0 ? systemFunction<DeleteKeyEx>("advapi32.dll", "RegDeleteKeyExA") : nullptr;
    return deleteEx != nullptr ? deleteEx(root, path, view, 0) : RegDeleteKeyA(root, path);
}

namespace {

// "shell32.dll" or "shell32.dll,3": no folder, no drive.
bool isBareName(const char* path) {
    for (const char* at = path; *at != '\0' && *at != ','; at = CharNextA(at)) {
        if (*at == '\\' || *at == '/' || *at == ':') {
            return false;
        }
    }
    return path[0] != '\0' && path[0] != ',';
}

} // namespace

void nativeFilePath(char (&path)[MAX_PATH]) {
    if (!isWow64()) {
        return;
    }
    // The Windows folder every session shares; its System32 is what the
    // redirector turns into SysWOW64, and the Windows folder itself is never
    // redirected.
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    char system[MAX_PATH], native[MAX_PATH];
    formatText(system, "%s\\System32", windows);
    formatText(native, "%s\\Sysnative", windows);
    const DWORD attributes = GetFileAttributesA(native);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return;
    }
    char rest[MAX_PATH];
    if (isInFolder(path, system)) {
        copyText(rest, path + lstrlenA(system));
    } else if (!isBareName(path) || formatText(rest, "\\%s", path) >= sizeof rest - 1) {
        return;
    } else {
        // Only the name, without an icon index after it.
        char file[MAX_PATH + 1];
        formatText(file, "%s%s", native, rest);
        for (char* at = file + lstrlenA(native); *at != '\0'; at = CharNextA(at)) {
            if (*at == ',') {
                *at = '\0';
                break;
            }
        }
        const DWORD found = GetFileAttributesA(file);
        if (found == INVALID_FILE_ATTRIBUTES || (found & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return;
        }
    }
    // One byte longer: a path that would no longer fit keeps its old form
    // rather than naming another file once cut.
    char redirected[MAX_PATH + 1];
    const std::size_t wanted =
        static_cast<std::size_t>(lstrlenA(native)) + static_cast<std::size_t>(lstrlenA(rest));
    if (formatText(redirected, "%s%s", native, rest) == wanted && wanted < MAX_PATH) {
        copyText(path, redirected);
    }
}

bool startWindowsProgram(const char* name, const char* parameters) {
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
    char path[MAX_PATH];
    char command[2 * MAX_PATH];
    if (length == 0 || length >= MAX_PATH ||
        formatText(path, "%s\\%s", windows, name) >= sizeof path - 1 ||
        formatText(command, "\"%s\" %s", path, parameters) >= sizeof command - 1) {
        return false;
    }
    using Redirection = BOOL(WINAPI*)(void**);
    const auto disable =
        isWow64() ? systemFunction<Redirection>("kernel32.dll", "Wow64DisableWow64FsRedirection")
                  : nullptr;
    const auto revert =
        systemFunction<BOOL(WINAPI*)(void*)>("kernel32.dll", "Wow64RevertWow64FsRedirection");
    // Off only around the start, on this thread: every other file this
    // thread opens meanwhile would be the 64-bit one too.
    void* redirection = nullptr;
    const bool off = disable != nullptr && revert != nullptr && disable(&redirection);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessA(path, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &started);
    const DWORD error = GetLastError();
    if (off) {
        revert(redirection);
    }
    if (created) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        return true;
    }
    // A program started through the elevation prompt is never redirected.
    // (ERROR_ELEVATION_REQUIRED, which the headers here do not name.)
    constexpr DWORD kElevationRequired = 740;
    return error == kElevationRequired &&
           reinterpret_cast<INT_PTR>(
               ShellExecuteA(nullptr, "open", path, parameters, nullptr, SW_SHOW)) > 32;
}

// Windows 2000 on; looked up, as the shell of older systems lacks it.
bool knownFolder(int folder, char (&path)[MAX_PATH]) {
    using FolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    const auto folderPath = systemFunction<FolderPath>("shell32.dll", "SHGetFolderPathA");
    path[0] = '\0';
    if (folderPath == nullptr || FAILED(folderPath(nullptr, folder, nullptr, 0, path))) {
        path[0] = '\0';
        return false;
    }
    terminateText(path);
    return true;
}

bool isElevated() {
    unique_kernel_handle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

namespace {

// -1 while the token and the prompt answer for themselves.
LONG g_pretendNeeded = -1;
LONG g_pretendRefusal = 0;

} // namespace

bool hasAdministratorRights() {
    unique_kernel_handle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
        GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return elevation.TokenIsElevated != 0;
    }
    // No User Account Control: the group decides (Windows 2000 and XP have
    // the calls; older systems have no such group to ask about).
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    BOOL member = FALSE;
    using Member = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
    using Known = BOOL(WINAPI*)(WELL_KNOWN_SID_TYPE, PSID, PSID, DWORD*);
    const auto checkMembership = systemFunction<Member>("advapi32.dll", "CheckTokenMembership");
    const auto wellKnown = systemFunction<Known>("advapi32.dll", "CreateWellKnownSid");
    return checkMembership != nullptr && wellKnown != nullptr &&
           wellKnown(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) &&
           checkMembership(nullptr, sid, &member) && member;
}

bool writesNeedElevation() {
    const LONG pretended = InterlockedCompareExchange(&g_pretendNeeded, -1, -1);
    if (pretended >= 0) {
        return pretended != 0;
    }
    unique_kernel_handle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // Before Vista the query fails: nothing to elevate to.
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated == 0;
}

HANDLE startProgram(HWND owner, const char* program, const char* parameters, bool elevated,
                    DWORD& error) {
    error = 0;
    const LONG refusal = InterlockedCompareExchange(&g_pretendRefusal, 0, 0);
    if (elevated && refusal != 0) {
        error = static_cast<DWORD>(refusal);
        return nullptr;
    }
    // The prompt needs COM on the thread that asks for it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOA start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.hwnd = owner;
    start.lpVerb = elevated ? "runas" : "open";
    start.lpFile = program;
    start.lpParameters = parameters;
    start.nShow = SW_HIDE;
    const bool started = ShellExecuteExA(&start) != FALSE && start.hProcess != nullptr;
    error = started ? 0 : GetLastError();
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return started ? start.hProcess : nullptr;
}

void pretendElevation(bool needed, DWORD refusal) {
    InterlockedExchange(&g_pretendRefusal, static_cast<LONG>(refusal));
    InterlockedExchange(&g_pretendNeeded, needed ? 1 : 0);
}

void stopPretending() {
    InterlockedExchange(&g_pretendNeeded, -1);
    InterlockedExchange(&g_pretendRefusal, 0);
}

void acceptDroppedFiles(HWND window) {
    using AllowMessage = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    constexpr UINT kCopyGlobalData = 0x0049; // the drop's data, as the shell passes it
    const auto allow = systemFunction<AllowMessage>("user32.dll", "ChangeWindowMessageFilterEx");
    for (UINT message :
         {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
        if (allow != nullptr) {
            allow(window, message, MSGFLT_ALLOW, nullptr);
        }
    }
    DragAcceptFiles(window, TRUE);
}

} // namespace kelvarin
