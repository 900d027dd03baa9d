#pragma once
// The Windows names this system speaks in (GetTickCount, Sleep, INFINITE,
// WM_USER, WM_TIMER, the HT* hit-test answers) come from <windows.h> itself
// in a Windows build; posix/Win32Names.h defines them elsewhere.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The notification target's SendMessage is this system's own operation, not
// the macro that picks SendMessageA or SendMessageW.
#undef SendMessage
