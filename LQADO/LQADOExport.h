// Symbol visibility of the database library: everything is hidden except
// what carries LQADO_API.
#pragma once

#if defined(LQADO_BUILDING)
#define LQADO_API __attribute__((visibility("default")))
#else
#define LQADO_API
#endif
