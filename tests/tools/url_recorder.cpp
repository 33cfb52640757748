// Registered on the test bed as the program that opens http, https and
// mailto addresses: appends each address it is asked to open, one per line,
// to test-temp\opened-urls.txt, so a test sees what the shell was asked.
#include <windows.h>
#include <shlwapi.h>

#include <string>

int main(int argc, char** argv) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    PathRemoveFileSpecA(path);
    std::string log = std::string(path) + "\\..\\test-temp";
    CreateDirectoryA(log.c_str(), nullptr);
    log += "\\opened-urls.txt";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    std::string line = (argc > 1 ? argv[1] : "") + std::string("\n");
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
