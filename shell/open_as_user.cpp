#include "shell/open_as_user.h"

#include "common/platform.h"
#include "common/unique_handle.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

namespace kelvarin {

namespace {

using AllocString = BSTR(WINAPI*)(const OLECHAR*);
using FreeString = void(WINAPI*)(BSTR);

// The shell's object of the desktop window, which Explorer runs in the
// user's session: the documented way back from an elevated program.
unique_com<IShellDispatch2> desktopShell() {
    unique_com<IShellWindows> windows;
    unique_com<IDispatch> desktop;
    unique_com<IServiceProvider> services;
    unique_com<IShellBrowser> browser;
    unique_com<IShellView> view;
    unique_com<IDispatch> background;
    unique_com<IShellFolderViewDual> folder;
    unique_com<IDispatch> application;
    unique_com<IShellDispatch2> shell;
    VARIANT location{}, none{};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    long window = 0;
    if (CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                         reinterpret_cast<void**>(windows.put())) != S_OK ||
        windows.get()->FindWindowSW(&location, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                    desktop.put()) != S_OK ||
        !desktop ||
        FAILED(desktop.get()->QueryInterface(IID_IServiceProvider,
                                             reinterpret_cast<void**>(services.put()))) ||
        FAILED(services.get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                            reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser.get()->QueryActiveShellView(view.put())) ||
        FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                         reinterpret_cast<void**>(background.put()))) ||
        FAILED(background.get()->QueryInterface(IID_IShellFolderViewDual,
                                                reinterpret_cast<void**>(folder.put()))) ||
        FAILED(folder.get()->get_Application(application.put())) ||
        FAILED(application.get()->QueryInterface(IID_IShellDispatch2,
                                                 reinterpret_cast<void**>(shell.put())))) {
        return {};
    }
    return shell;
}

bool openThroughDesktop(const char* target) {
    // The strings the shell's automation takes; looked up, as oleaut32 is
    // not one of the program's imports.
    const auto allocString = systemFunction<AllocString>("oleaut32.dll", "SysAllocString");
    const auto freeString = systemFunction<FreeString>("oleaut32.dll", "SysFreeString");
    WCHAR wide[2 * MAX_PATH] = {};
    if (allocString == nullptr || freeString == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, target, -1, wide, 2 * MAX_PATH) == 0) {
        return false;
    }
    const unique_com<IShellDispatch2> shell = desktopShell();
    if (!shell) {
        return false;
    }
    VARIANT none{}, verb{}, show{};
    verb.vt = VT_BSTR;
    verb.bstrVal = allocString(L"open");
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const BSTR file = allocString(wide);
    const HRESULT opened = file != nullptr && verb.bstrVal != nullptr
                               ? shell.get()->ShellExecute(file, none, none, verb, show)
                               : E_OUTOFMEMORY;
    freeString(file);
    freeString(verb.bstrVal);
    return SUCCEEDED(opened);
}

} // namespace

void openAsUser(HWND owner, const char* target) {
    if (isElevated() && openThroughDesktop(target)) {
        return;
    }
    ShellExecuteA(owner, "open", target, nullptr, nullptr, SW_SHOW);
}

} // namespace kelvarin
