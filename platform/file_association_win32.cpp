#include "platform/file_association.h"

#include <vector>

#include "platform/error.h"
#include "platform/wide_text.h"
#include "platform/windows_headers.h"

#include <shlobj.h>

namespace platform {
namespace {

// Per user, so that no administrator is needed: HKEY_CURRENT_USER\Software\Classes.
const std::wstring kClasses = L"Software\\Classes\\";

std::string Failure(LONG code) {
    return ErrorText(static_cast<int>(code));
}

LONG SetDefault(const std::wstring& key, const std::wstring& value) {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The key's default value; empty when the key or the value is not there.
std::wstring Default(const std::wstring& key) {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                       &size) != ERROR_SUCCESS ||
        size == 0)
        return {};
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 1);
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                       value.data(), &size) != ERROR_SUCCESS)
        return {};
    return value.data();
}

LONG DeleteTree(const std::wstring& key) {
    const LONG result = ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring ProgramPath(const std::string& given) {
    if (!given.empty())
        return WideText(given);
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string RegisterFileAssociation(const FileAssociation& association) {
    const std::wstring type = kClasses + WideText(association.typeName);
    const std::wstring path = ProgramPath(association.program);
    if (path.empty())
        return ErrorText(static_cast<int>(::GetLastError()));
    const std::wstring program = Quoted(path);
    const std::pair<std::wstring, std::wstring> values[] = {
        {type, WideText(association.description)},
        {type + L"\\DefaultIcon", program + L",0"},
        {type + L"\\shell\\open\\command", program + L" \"%1\""},
        {type + L"\\shell\\print\\command",
         program + L" " + WideText(association.printSwitch) + L" \"%1\""},
        {kClasses + WideText(association.extension), WideText(association.typeName)},
    };
    for (const auto& [key, value] : values) {
        if (const LONG result = SetDefault(key, value); result != ERROR_SUCCESS)
            return Failure(result);
    }
    // Tells Explorer at once, rather than at the next logon.
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return {};
}

std::string UnregisterFileAssociation(const FileAssociation& association) {
    const std::wstring extension = kClasses + WideText(association.extension);
    const std::wstring typeName = WideText(association.typeName);
    if (Default(extension) == typeName) {
        if (const LONG result = DeleteTree(extension); result != ERROR_SUCCESS)
            return Failure(result);
    }
    if (const LONG result = DeleteTree(kClasses + typeName); result != ERROR_SUCCESS)
        return Failure(result);
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return {};
}

}  // namespace platform
