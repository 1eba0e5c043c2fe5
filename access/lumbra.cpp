// The record access layer. Its KDB functions are declared in access/kdb.h.
