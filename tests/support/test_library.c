/* A library of the tests' own, named mpr.dll so that a test can plant it
   beside a program as a page in a download folder would: loaded and run, it
   leaves "mpr-ran.txt" beside itself. Read as data, it is an icon library
   with two icons of clearly different colours, red then blue. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 16] = "";
        DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
        while (length > 0 && path[length - 1] != '\\')
            --length;
        lstrcpyA(path + length, "mpr-ran.txt");
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}

/* What Kelvarin asks of mpr.dll, answering that nothing is mapped. */
__declspec(dllexport) DWORD WINAPI WNetGetConnectionA(LPCSTR local, LPSTR remote, LPDWORD size) {
    (void)local, (void)remote, (void)size;
    return ERROR_NOT_CONNECTED;
}
