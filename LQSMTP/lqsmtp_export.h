#pragma once

// Symbols are hidden by default; only what carries LQSMTP_API leaves the library.
#if defined(LQSMTP_BUILDING)
#define LQSMTP_API __attribute__((visibility("default")))
#else
#define LQSMTP_API
#endif
