// Marks the framework's public symbols; everything else in the library stays hidden.
#pragma once

// On Windows a DLL exports what it marks (and, once it marks anything, only
// that), and its users import it.
#if defined(_WIN32) && defined(framework_EXPORTS)
#define FRAMEWORK_API __declspec(dllexport)
#elif defined(_WIN32)
#define FRAMEWORK_API __declspec(dllimport)
#else
#define FRAMEWORK_API __attribute__((visibility("default")))
#endif
