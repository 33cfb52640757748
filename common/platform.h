// What the program asks of the system at run time, and the views Windows
// gives it. Kelvarin ships as a 32-bit program that its users run elevated
// on 64-bit Windows: there the system folder and part of the registry it
// sees are not the ones Explorer (64-bit, unelevated) reads, and a DLL found
// beside the program would run with an administrator's rights. Everything
// that differs between those views, and every call newer systems have and
// older ones lack, goes through here.
#pragma once

#include <windows.h>

namespace kelvarin {

// First thing in the program: every later load of a DLL by name, those the
// system DLLs make included, comes from the system folder, never from the
// program's own folder (a download folder) or the current one.
void restrictDllSearch();

// A system DLL, loaded from the system folder only; null when it cannot be.
HMODULE loadSystemLibrary(const char* name);

// A function of a system DLL, looked up at run time; null where this system
// has none. The DLL stays loaded for the process's life.
FARPROC systemFunction(const char* dll, const char* name);

template <typename Function> Function systemFunction(const char* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(systemFunction(dll, name)));
}

// A 32-bit program on 64-bit Windows.
bool isWow64();

// Added to every access of Explorer's settings key: the 64-bit view, the
// one the 64-bit Explorer reads (64-bit Windows before 7 keeps the 32-bit
// programs' copy apart). 0 where there is one view.
REGSAM explorerRegistryView();

// Deletes a key (without subkeys) of Explorer's view.
LONG deleteExplorerKey(HKEY root, const char* path);

// A file the system folder holds, as this program can read the one Explorer
// reads: under WOW64 a path in System32 is shown the 32-bit SysWOW64, and
// "%windir%\Sysnative" names the real one; a name without a folder (an
// icon location "shell32.dll,3") is looked for there first, as the 64-bit
// Explorer's loader does. Other paths are kept.
void nativeFilePath(char (&path)[MAX_PATH]);

// Starts a program of the Windows folder (name: "regedit.exe") with
// parameters, in the current folder, as the system's own architecture:
// under WOW64 the redirector gives a 32-bit program the 32-bit copy of
// such a program, which sees the 32-bit registry view. A program that
// needs elevation is started through the shell, which asks for it.
bool startWindowsProgram(const char* name, const char* parameters);

// A folder of the shell's (CSIDL_PROFILE, CSIDL_COMMON_APPDATA, ...); false
// where this system has none.
bool knownFolder(int folder, char (&path)[MAX_PATH]);

// Run with an administrator's full token (User Account Control elevated).
bool isElevated();
// An administrator's rights: elevated, or before User Account Control a
// member of the Administrators group.
bool hasAdministratorRights();

// Whether writing the machine's settings needs rights the program's token
// lacks: from Windows Vista on, a token that is not elevated (a standard
// user's, or an administrator's filtered one). The writer is then started
// through the elevation prompt; elsewhere (Windows XP, User Account Control
// off, a window started as administrator) plainly.
bool writesNeedElevation();

// Starts a program with parameters, through the elevation prompt ("runas")
// when elevated; its process, to wait for and close, or null with the
// error (ERROR_CANCELLED: the user refused the prompt). Waits while the
// prompt is up: call it off the window's thread.
HANDLE startProgram(HWND owner, const char* program, const char* parameters, bool elevated,
                    DWORD& error);

// A test's answers in place of the token's and the prompt's: whether writes
// need elevation, and the error a start through the prompt ends with (0:
// it starts). Until stopPretending.
void pretendElevation(bool needed, DWORD refusal);
void stopPretending();

// Lets a window take files dropped from programs of a lower integrity level
// (Explorer, when this program runs elevated), which Windows 7 and later
// otherwise keep from it, and accept drops at all.
void acceptDroppedFiles(HWND window);

} // namespace kelvarin
