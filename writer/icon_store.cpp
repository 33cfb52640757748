#include "writer/icon_store.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/icon_maker.h"
#include "writer/change_set.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace kelvarin {

const char kIconsFolderSecurity[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

struct free_local {
    void operator()(void* block) const { LocalFree(block); }
};
using unique_local = unique_handle<void*, free_local>;

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    using Create = BOOL(WINAPI*)(WELL_KNOWN_SID_TYPE, PSID, PSID, DWORD*);
    const auto create = systemFunction<Create>("advapi32.dll", "CreateWellKnownSid");
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof known;
    return create != nullptr && create(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool isOwnUser(PSID sid) {
    unique_kernel_handle token;
    BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size) &&
           EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
}

} // namespace

bool isTrustedFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    using OwnerOf = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*,
                                   PACL*, PSECURITY_DESCRIPTOR*);
    const auto ownerOf = systemFunction<OwnerOf>("advapi32.dll", "GetNamedSecurityInfoA");
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    char name[MAX_PATH];
    copyText(name, path);
    if (ownerOf == nullptr || ownerOf(name, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                      nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const unique_local held(descriptor);
    return owner != nullptr && isTrustedOwner(owner);
}

namespace {

// Made with the protected DACL where missing, then looked at like any
// other: one made by someone else meanwhile is refused too.
bool makeTrustedFolder(const char* path) {
    using Convert = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    const auto convert = systemFunction<Convert>(
        "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        if (convert == nullptr ||
            !convert(kIconsFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
            return false;
        }
        const unique_local held(descriptor);
        SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
        CreateDirectoryA(path, &security);
    }
    return isTrustedFolder(path);
}

} // namespace

bool isTrustedOwner(PSID owner) {
    return isWellKnown(owner, WinBuiltinAdministratorsSid) ||
           isWellKnown(owner, WinLocalSystemSid) || (hasAdministratorRights() && isOwnUser(owner));
}

bool protectedIconsFolder(char (&folder)[MAX_PATH]) {
    char common[MAX_PATH];
    if (!knownFolder(CSIDL_COMMON_APPDATA, common) ||
        lstrlenA(common) + sizeof "\\Kelvarin\\Icons" > MAX_PATH) {
        return false;
    }
    formatText(folder, "%s\\Kelvarin", common);
    if (!makeTrustedFolder(folder)) {
        return false;
    }
    formatText(folder, "%s\\Kelvarin\\Icons", common);
    return makeTrustedFolder(folder);
}

bool installIcon(const char* from, const char* name, char (&installed)[MAX_PATH]) {
    installed[0] = '\0';
    char source[MAX_PATH + 1];
    if (!isPlainFileName(name) ||
        formatText(source, "%s\\%s", from, name) != static_cast<std::size_t>(lstrlenA(from)) + 1 +
                                                        static_cast<std::size_t>(lstrlenA(name)) ||
        lstrlenA(source) >= MAX_PATH) {
        return false;
    }
    const HANDLE opened = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const unique_kernel_handle file(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
    const unique_heap<BYTE> bytes(
        static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kLargestIconFile + 1)));
    DWORD read = 0;
    char folder[MAX_PATH];
    return file && bytes &&
           ReadFile(file.get(), bytes.get(), kLargestIconFile + 1, &read, nullptr) &&
           isIconFile(bytes.get(), read) && protectedIconsFolder(folder) &&
           keepIconFile(folder, name, bytes.get(), read, installed);
}

} // namespace kelvarin
