// <windows.h> for the Win32 files, without the macros that would rename the platform's own
// functions: CreateFile, CreateEvent and MessageBox are macros there (for their A and W forms),
// so platform::CreateFile would silently become platform::CreateFileA. Win32 code here calls
// the A and W forms by their full names.
#pragma once

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateFile
#undef CreateEvent
#undef MessageBox
