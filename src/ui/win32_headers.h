#pragma once
// Windows headers for the Win32 backends, with the A/W macros that collide with our own method names
// taken away (we call the ...A functions by name).

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#undef MessageBox
#undef GetWindowText
#undef SetWindowText
#undef SendMessage
#undef PostMessage
#undef LoadString
#undef RegisterWindowMessage
#undef AppendMenu
#undef GetClassName
#undef DrawText
#undef LoadCursor
#undef LoadIcon
#undef CreateDialog
#undef GetObject
