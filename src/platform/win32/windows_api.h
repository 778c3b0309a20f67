#pragma once
// <windows.h> as the Win32 core includes it: without the min and max macros, which break
// std::min and std::max, and without the parts of the API it never uses.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
