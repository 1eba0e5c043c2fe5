// Marks the functions that libcorvex exports. Everything else in the library is
// hidden (the build sets default visibility to hidden).
#ifndef CORVEX_UTIL_EXPORT_H
#define CORVEX_UTIL_EXPORT_H

#define CORVEX_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define CORVEX_EXTERN_C_BEGIN extern "C" {
#define CORVEX_EXTERN_C_END }
#else
#define CORVEX_EXTERN_C_BEGIN
#define CORVEX_EXTERN_C_END
#endif

#endif
