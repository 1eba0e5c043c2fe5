// Machine-wide message queue of libcorvex, shared by every process of the user
// that loads the library: a ring of 1000 entries (999 can wait), each a program
// id, a tag and a text. The ring lives in POSIX shared memory, each text in a
// shared memory object of its own, and every change happens under a
// process-shared robust mutex.
//
// The environment variable CORVEX_SHM_PREFIX (default "/corvex") starts the
// names of the shared memory objects; the user id is part of each name. The
// objects are private to the user (util/shared_memory.h): when another user
// made one of them first, the calls fail (-1) instead of using it, and a
// mutex held beyond the wait limit makes them fail instead of hanging.
#ifndef CORVEX_UTIL_MSGQUEUE_H
#define CORVEX_UTIL_MSGQUEUE_H

#include <stdint.h>

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Appends an entry with id, tag and a copy of text. Returns 0; -2 when the
// queue is full; -1 when the text's block (or the queue) could not be made.
CORVEX_EXPORT int shmem_push(int16_t id, int32_t tag, const char *text);

// Takes the oldest entry with this id and, when *tag is not 0, with this tag;
// when *tag is 0 the oldest entry with the id is taken and its tag stored at
// tag. Copies at most max characters of its text into target with nstrncpy
// (target must hold max + 1 bytes) and removes the entry; the other entries
// keep their order. Returns 0; -1 when no entry matches or tag or target is
// null. An entry whose text block has vanished yields the empty text.
CORVEX_EXPORT int shmem_pop(int16_t id, int32_t *tag, char *target, int max);

CORVEX_EXTERN_C_END

#endif
