// Housekeeping of the message queue, for tools and tests; not exported.
#ifndef CORVEX_UTIL_MSGQUEUE_ADMIN_H
#define CORVEX_UTIL_MSGQUEUE_ADMIN_H

namespace corvex {

// Removes the queue of the current name prefix: the text blocks of every
// waiting entry and the ring itself. Other processes keep their mappings of the
// ring until they exit; the next push or pop here makes a new, empty queue.
void remove_message_queue();

}  // namespace corvex

#endif
