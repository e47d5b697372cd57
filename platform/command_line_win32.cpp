#include "platform/command_line.h"

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

#include <shellapi.h>  // CommandLineToArgvW, left out by WIN32_LEAN_AND_MEAN

namespace platform {

std::vector<std::string> ProgramArguments(std::vector<std::string> given) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return given;
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(Utf8Text(wide[i]));
    ::LocalFree(wide);
    if (args.size() != given.size())
        return given;
    return args;
}

}  // namespace platform
