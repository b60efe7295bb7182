#pragma once
// Symbols a host may use carry default visibility; everything else in the library is hidden.
#if defined(__GNUC__)
#define QM_API __attribute__((visibility("default")))
#else
#define QM_API
#endif
