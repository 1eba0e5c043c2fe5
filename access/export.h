// Marks the functions that liblumbra exports. Everything else in the library is
// hidden (the build sets default visibility to hidden).
#ifndef LUMBRA_ACCESS_EXPORT_H
#define LUMBRA_ACCESS_EXPORT_H

#define LUMBRA_EXPORT __attribute__((visibility("default")))

#endif
