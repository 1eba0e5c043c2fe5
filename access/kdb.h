// The KDB functions of liblumbra, the record access layer over the record
// file engine of libcorvex.
//
// Conventions of every function:
// - Integer arguments are used in their low 16 bits. A file id is a client
//   number (1..127) in its high byte and the caller's own file number in its
//   low byte; the client value that KDBinit returns is the client number
//   times 256.
// - Strings are 8-bit and zero-terminated; a null address counts as "".
// - Integer results are return codes: 0 success, 5 text not found, 6 the file
//   could not be opened, 7 the file id is not open (or the file is not a
//   record file where one is needed), 8 a field write ran past the end of a
//   record buffer, 9 (KDBtmpread) the file id is not open, 10 no more fields
//   on the current text line, 11 end of file, 12 read on an output file, 18
//   read past the end of a record buffer, 20 any other engine failure, 21 the
//   description cannot be opened, 22 the description is bad (or an unknown
//   item), 24 out of memory, 25 locked by another program, 27 unknown network
//   mode, 28 the file is read-only, 34 the record is deleted, 40 data file and
//   description do not match, 113 the operation needs another file type, 115
//   500 files are already open, 116 the file id is already open, 117 (KDBopen) the file is open but an update of
//   it did not finish (a killed program, a full disk): run the index rebuild
//   (recover) before relying on keyed access, 118 (KDBadd) a record with the
//   same first key exists.
// - String results point at one result buffer of this program (at most 512
//   characters and a terminator), valid until the next call that returns text;
//   copy the text out at once.
// - Functions that make engine requests clear the client's last status first
//   and leave the raw engine status of their last request there for KDBerr.
// - The functions are not thread-safe: call them from one thread.
#ifndef LUMBRA_ACCESS_KDB_H
#define LUMBRA_ACCESS_KDB_H

#include <stdint.h>

#include "access/export.h"

#ifdef __cplusplus
extern "C" {
#endif

// The return codes by name, as the conventions above describe them.
enum KdbReturnCode {
  KDB_OK = 0,
  KDB_NOT_FOUND = 5,
  KDB_CANNOT_OPEN = 6,
  KDB_NOT_OPEN = 7,
  KDB_PAST_RECORD_END = 8,
  KDB_NO_MORE_FIELDS = 10,
  KDB_END_OF_FILE = 11,
  KDB_READ_ON_OUTPUT = 12,
  KDB_READ_PAST_END = 18,
  KDB_ENGINE_FAILURE = 20,
  KDB_FID_OPEN = 21,
  KDB_FID_BAD = 22,
  KDB_NO_MEMORY = 24,
  KDB_LOCKED = 25,
  KDB_BAD_NET_MODE = 27,
  KDB_READ_ONLY = 28,
  KDB_DELETED = 34,
  KDB_MISMATCH = 40,
  KDB_WRONG_FILE_TYPE = 113,
  KDB_TABLE_FULL = 115,
  KDB_ALREADY_OPEN = 116,
  KDB_NEEDS_RECOVER = 117,
  KDB_KEY_EXISTS = 118
};

// ---- Clients, files and errors ----

// KDBinit(0) starts a client and returns its client value (client numbers
// come from a counter shared by every program of the user: 1, 2, ..., 127,
// then 1 again). It returns -1 when that counter cannot be used: its shared
// object (/dev/shm/lumbra-<uid>) belongs to another user, or another program
// held its lock beyond a few seconds; a line on stderr says which.
// KDBinit(client value) closes the client's files, ends the
// client and returns 0.
LUMBRA_EXPORT int KDBinit(int client);

// Opens a file under id. type: 0 text output, 1 text input, 2 record file by
// record number, 3 record file by key (2 when the file has no keys), 4
// delimited text output, 5 delimited text input. Names are used up to 64
// characters, trailing blanks trimmed; an empty description or index name is
// derived from the data name. mode goes to the engine unchanged; the layer
// itself looks at 0x0008 (record file by record number), 0x4000 (text: 3-byte
// blocks, output starts at the beginning instead of appending) and 0x8000
// (text output: lines end in a line feed alone, the last block is filled with
// line feeds instead of the end-of-file character 26). The file is positioned
// at its start; a text input file has its first block read. Returns a code.
LUMBRA_EXPORT int KDBopen(const char *datname, const char *fidname, const char *idxname, int id,
                          int type, int mode);
// As KDBopen, but creates the file set (emptying existing files). Returns the
// code of the positioning at the start.
LUMBRA_EXPORT int KDBmake(const char *datname, const char *fidname, const char *idxname, int id,
                          int type, int mode);
// KDBopen; when that returns 6 (cannot open), KDBmake.
LUMBRA_EXPORT int KDBopenmake(const char *datname, const char *fidname, const char *idxname,
                              int id, int type, int mode);
// Closes id (an output file first gets its last block written). The id is
// released even when closing fails. Returns a code.
LUMBRA_EXPORT int KDBclose(int id);
// Closes, from the last opened to the first, every file whose id with its low
// byte cleared equals client (so client must be a client value). Stops at and
// returns the first failing close's code, else 0.
LUMBRA_EXPORT int KDBcloseall(int client);
// 1 when id is open, else 0. A file restored from a hand-over (KDBgetfiles)
// is opened again here when it has not been yet; when that fails it is not
// open (0), as every other call on it answers 7.
LUMBRA_EXPORT int KDBisopen(int id);
// Describes id in info[0..5]: [0] the file type (2 for a record file by
// record number, which also gets [1] record length, [2] record slots, [3]
// current record slot); a record file by key gets [1] key count, [2] current
// key number, [3] record length, [4] record slots, [5] current record slot.
// Text files get [0] only. Returns 0, or 7 when id is not open.
LUMBRA_EXPORT int KDBfiletype(int id, double *info);
// Selects the engine's network mode by name (up to 10 characters) for the
// client of id. Returns a code (27 for an unknown name).
LUMBRA_EXPORT int KDBhost(int id, const char *name);
// The raw engine status of the last request made for the client of id (the
// high byte selects the client), not translated.
LUMBRA_EXPORT int KDBerr(int id);
// Writes id's pending headers so that all data reaches the disk. Returns a code.
LUMBRA_EXPORT int KDBsecure(int id);
// Makes every n-th successful record write of a file secure it (0: never).
// Returns n.
LUMBRA_EXPORT int KDBautosecure(int n);

// ---- Items and the record buffer ----

// The text of occurrence occ of the named item of id's record buffer, or ""
// when id is not open, the item unknown or occ out of range.
LUMBRA_EXPORT const char *KDBfiditemstub(const char *name, int id, int occ);
// Stores text into occurrence occ of the named item (padded, cut and
// justified as the item asks). With pos 1 or more the text replaces the
// item's characters from character pos on. Returns 0, -1 for an unknown item
// or occurrence, and 0 (storing nothing) when id is not open.
LUMBRA_EXPORT int KDBfput(const char *text, const char *name, int id, int occ, int pos);
// As KDBfput, the item given by its number (from 0).
LUMBRA_EXPORT void KDBfoput(const char *text, int itemno, int id, int occ, int pos);
// As KDBfiditemstub for a reference NAME, NAME(n) or NAME[n].
LUMBRA_EXPORT const char *KDBcopyfid(const char *ref, int id);
// As KDBfput at position 0 for a reference NAME, NAME(n) or NAME[n].
LUMBRA_EXPORT int KDBcopyfput(const char *text, const char *ref, int id);
// The raw bytes of occurrence occ of item number itemno, or "".
LUMBRA_EXPORT const char *KDBfid(int id, int itemno, int occ);
// The number (from 0) of the named item, or -1.
LUMBRA_EXPORT int KDBfidoffset(const char *name, int id);
// 1 when the first memo item (type 'Z') of the record is not blank, else 0.
LUMBRA_EXPORT int KDBismemo(int id);
// Copies every item that both descriptions have, by name and occurrence,
// from src's record buffer to dst's. Returns 0 or 7.
LUMBRA_EXPORT int KDBcopy(int src, int dst);
// Fills id's record buffer with blanks. Returns 0 or 7.
LUMBRA_EXPORT int KDBrclear(int id);
// Sets the buffer position to pos (after the status byte of a record).
// Returns 0 or 7.
LUMBRA_EXPORT int KDBrestart(int id, int pos);
// Reads the next field of the current line into buffer. *len is the most
// characters wanted (negative: 512, without a limit); buffer must hold that
// many characters and a terminator. Delimited files consume a field whole but
// store no more than that. On 0 the text is terminated and *len holds its
// length. Returns 0, 10 (no more fields, when a limit was given), 11, 18 or
// the code of a failed read.
LUMBRA_EXPORT int KDBget(char *buffer, int id, int16_t *len);
// Writes text as the next field: width -1 the whole text, else exactly width
// characters (cut or blank-padded); delimited files quote it and separate it
// from the previous field of the line. Returns a code (8 past a record's end).
LUMBRA_EXPORT int KDBput(const char *text, int id, int width);
// Writes blanks up to column col. Returns a code.
LUMBRA_EXPORT int KDBputtab(int id, int col);
// Does nothing; returns 0.
LUMBRA_EXPORT int KDBputnull(int unused);
// Searches id's record for text (case-blind when caseblind is not 0), after
// the status byte and before the line feed. Returns 0 found, 5 not, or 7.
LUMBRA_EXPORT int KDBrsear(int id, const char *text, int caseblind);

// ---- Display formatting ----
// None of these touches a file or the client's last status. Number texts,
// pictures and the text filled into a template are used up to 50
// characters, other texts and templates up to 512.

// number edited into picture: 9 a digit or 0, Z/z a digit or blank, "." the
// point (the number is rounded to the digit positions after it), "," kept
// between digits, "$" the currency text (a "$" when currency begins with
// one) floated up to the first digit, "+"/"-" sign positions ("+" shows "-"
// for a negative number, "-" a blank for one that is not; before the digits
// they float like "$"), "(" or ")" anywhere: negative numbers in
// parentheses, "*" anywhere: fill before the digits with "*". Without a sign
// position a negative number gets a "-" before its digits. "" for another
// picture character, a number that does not fit, or a sign without room.
// KDBedit("1234.5", "zzz,zz9.99", "") is "  1,234.50".
LUMBRA_EXPORT const char *KDBedit(const char *number, const char *picture, const char *currency);
// The plain number of an edited text: digits and points, with a "-" in front
// when the text holds one ("1,234.50-" gives "-1234.50").
LUMBRA_EXPORT const char *KDBunedit(const char *text);
// text (trimmed) filled into templ: "#" takes a character of the text, other
// characters are copied and consume an equal text character. From the right
// when fromRight is not 0. Once the text is used up the next "#" and all
// after it become blanks; the result has the template's length.
// KDBpicture("5551234567", "(###) ###-####", 0) is "(555) 123-4567".
LUMBRA_EXPORT const char *KDBpicture(const char *text, const char *templ, int fromRight);
// text without its leading and trailing blanks at the start / at the end /
// in the middle (half the blanks before it, rounded down) of a field of
// text's length, filled with the first character of fill (an empty fill
// gives zero bytes, which end the text). KDBrjust("AB   ", "0") is "000AB".
LUMBRA_EXPORT const char *KDBljust(const char *text, const char *fill);
LUMBRA_EXPORT const char *KDBrjust(const char *text, const char *fill);
LUMBRA_EXPORT const char *KDBcenter(const char *text, const char *fill);
// text with a capital at its start and after every blank, comma and full
// stop, and small letters elsewhere.
LUMBRA_EXPORT const char *KDBicase(const char *text);
// number cut to decimals places (negative: 0), the last kept digit rounded
// up, with carry, when the first dropped one is 5 or more; a text without a
// point, or with no more decimals, is returned as it is. With 0 decimals the
// point stays: "12.5" gives "13.", "-9.999" with 2 gives "-10.00".
LUMBRA_EXPORT const char *KDBroundstub(const char *number, int decimals);
// Sets the process's date form (set_dateform of libcorvex, first 31
// characters) and returns its picture: M/D/CY shows as mm/dd/yyyy (A/a mmm,
// L/l mmmm, M mm, D dd, C and Y yy, y y, W/w dddd, h hh, m nn, s ss).
LUMBRA_EXPORT const char *KDBdateform(const char *form);
// jdpack of libcorvex: the day number (time 0) or date-time number of text
// under the date form, or -999999.
LUMBRA_EXPORT int32_t KDBjdpack(const char *text, int time);
// jdunpack of libcorvex: the text of a day number (time 0) or date-time
// number under the date form.
LUMBRA_EXPORT const char *KDBjdunpack(int32_t number, int time);

// ---- Navigation, keys and locks ----

// Reads the first / last / next / previous record in the order of the
// current key, or by record number. A key number of 0 or more selects that
// key first (0: record number order); a negative one keeps the current key.
// Running off either end returns 11; the record buffer is then unchanged.
LUMBRA_EXPORT int KDBfirstrec(int id, int keyno);
LUMBRA_EXPORT int KDBlastrec(int id, int keyno);
LUMBRA_EXPORT int KDBnextrec(int id, int keyno);
LUMBRA_EXPORT int KDBprevrec(int id, int keyno);
// Positions without reading: with item set, at the head of the thread whose
// link that item holds (22 when there is none); otherwise on key text of key
// keyno (negative: the current key; text cut or blank-padded to the key's
// length unless flags has 0x0008), or on record number key for a file read by
// record number. flags 0x0100: exact match only; 0x0400: descending order.
// Returns a code (113 for a text file).
LUMBRA_EXPORT int KDBposn(int id, const char *key, int keyno, const char *item, int flags);
// Selects key keyno (0: record number order), descending when reverse is not
// 0. Returns a code.
LUMBRA_EXPORT int KDBkey(int id, int keyno, int reverse);
// Record files: reads the current record (staying on it when flag is not 0,
// else moving past it). Text input: goes to the next line. Text output: 12.
LUMBRA_EXPORT int KDBread(int id, int flag);
// Record files: writes the record buffer (the engine adds or replaces; stays
// on it when flag is not 0). Text output: ends the line count times. Text
// input: 113.
LUMBRA_EXPORT int KDBwrite(int id, int count, int flag);
// Record files with keys: adds the record buffer as a new record (staying on
// it when flag is not 0), or returns 118 and writes nothing when a record
// with the same first key (key 1) text exists. The check and the add are one
// step under the file's header lock, so of programs adding one key at once
// exactly one succeeds and the others get 118: a caller that needs a new
// entry tries the next key. 113 for a text file; 20 (status 102) for a file
// without keys or a hashed file.
LUMBRA_EXPORT int KDBadd(int id, int flag);
// Deletes the current record. Returns a code.
LUMBRA_EXPORT int KDBfree(int id);
// Moves to the previous record without reading it. Returns a code.
LUMBRA_EXPORT int KDBbackspace(int id);
// 1 when id has no current record, 0 when it has, 7 when it is not open.
LUMBRA_EXPORT int KDBeof(int id);
// Locks / unlocks the current record against other programs. Returns a code
// (25 when another program holds it).
LUMBRA_EXPORT int KDBrlock(int id);
LUMBRA_EXPORT int KDBrunlock(int id);
// 1 when another program (or another open in this one) has id's data file
// open in a sharing mode, from the file's sharing lock; 0 when none has, or
// this program's own handle of it is parked; 7 when id is not open.
LUMBRA_EXPORT int KDBothers(int id);
// Sets the header lock tries and, when record is above 0, the record lock
// tries that files opened afterwards use (both start at 100). Returns 0.
LUMBRA_EXPORT int KDBlretry(int header, int record);

// A file chooser of the program: returns the chosen path (at most 512
// characters), or null/"" when the user cancels. It gets the initial
// directory, a file pattern (at most 20 characters) and a title.
typedef const char *(*KDBfselecthook)(const char *dir, const char *pattern, const char *title);
// Installs the chooser that KDBfselect shows (null removes it). A program
// with a user interface installs one; without it KDBfselect returns "".
LUMBRA_EXPORT void KDBsetfselecthook(KDBfselecthook hook);
// Lets the user choose an existing file; returns its path, or "" when the
// user cancels or no chooser is installed.
LUMBRA_EXPORT const char *KDBfselect(const char *dir, const char *pattern, const char *title);

// ---- Temporary indexes, workspaces and field encryption ----

// Opens a record file as KDBopen does, with a temporary index whose key is
// the expression selection (up to 200 characters: item names joined by "+",
// a "-" before a name for descending order, a name in lower case for
// case-sensitive order). The index file is the index name given, else the
// data name with the extension ".itx". When that file exists already, the
// file is read, read-only, through it at once and *pass_needed becomes 0.
// Otherwise *pass_needed becomes 1: a selection pass fills the new index
// (KDBtmpread, KDBtmpwrite). Returns a code (22 for a bad expression).
LUMBRA_EXPORT int KDBtmpidx(const char *datname, const char *fidname, const char *idxname, int id,
                            int type, int mode, const char *selection, int16_t *pass_needed);
// Reads the next record of a selection pass into the record buffer, in
// physical order, passing over deleted records. Returns 7 when a record was
// read (or a read failed); at the end of the data file it returns 0, after
// which the file is read, read-only, through the temporary index from its
// first entry; 1 when the end came with a record still current; 9 when id
// is not open, also after a failed KDBtmpwrite closed it, so that a loop
// while (KDBtmpread(id) == 7) ends. The record is not deciphered; the
// client's last status stays.
LUMBRA_EXPORT int KDBtmpread(int id);
// Adds the record last read by KDBtmpread to the temporary index. Returns 0;
// on failure the file is closed and 20 returned (KDBtmpread then answers
// 9); 7 when id is not open.
LUMBRA_EXPORT int KDBtmpwrite(int id);

// Adds the record buffer's key 1 value (and the value of the current key when
// the file is read by another key) to the workspace of id's client, made on
// first use. Returns 0, 24 when 8000 entries are held or memory runs out, or
// 7 when id is not open or not a keyed record file.
LUMBRA_EXPORT int KDBwsadd(int id);
// Reads the record of workspace entry n (from 0) of id's client by its key 1
// value; the file's current key stays as it was. Returns 0, or 7 when id is
// not open or has no key 1, or the client has no entry n.
LUMBRA_EXPORT int KDBwsget(int id, int n);
// The number of the first workspace entry of the client whose value (that of
// the current key when it was added, else key 1) begins with text, compared
// case-sensitively; 0 when none does, which cannot be told from entry 0.
LUMBRA_EXPORT int KDBwsquick(int client, const char *text);
// Frees the workspace of the client (a client value or any of its file ids).
// Returns the client number.
LUMBRA_EXPORT int KDBwsclear(int client);

// Enciphers every record that KDBwrite writes to id from now on, and
// deciphers every record that KDBread, the navigation functions and KDBwsget
// read, with key (up to 16 characters; "" switches encryption off). Key items
// are stored in clear. The key is kept only while the file is open. Returns 0
// or 7.
LUMBRA_EXPORT int KDBencrypt(int id, const char *key);

// ---- Chain hand-over ----
//
// A program hands its open files and strings to the next program it starts,
// which uses the same client number: the first calls KDBdataput for each
// string and KDBputfiles; the second calls KDBgetfiles, KDBdataget for each
// string and KDBdatafree. The client-wide functions take a client value or
// any file id of the client. A hand-over that nobody takes up is discarded
// when KDBinit hands its client number out again.

// Saves every open file of this program (its position and record buffer) for
// the next program and closes it; then ends the engine's use as KDBinit does.
// At most 100 files are handed over: the 100 opened first; the others are
// closed, and KDBerr(client) afterwards gives how many (at most 255; 0 when
// every file was handed over). Sets the chain-busy byte. Returns 0.
LUMBRA_EXPORT int KDBputfiles(int client);
// Starts the engine, selects the network mode host (as KDBhost) and takes
// over the files that KDBputfiles saved under the client, under their ids;
// each is opened again on its first use. Returns 0.
LUMBRA_EXPORT int KDBgetfiles(int client, const char *host);
// Stores text (up to 512 characters) in data slot slot (0..99) of the
// client, replacing what the slot held. Other slot numbers store nothing.
LUMBRA_EXPORT void KDBdataput(int client, int slot, const char *text);
// The text of data slot slot of the client, which empties the slot; "" for
// an empty slot or a slot number outside 0..99.
LUMBRA_EXPORT const char *KDBdataget(int client, int slot);
// Discards everything handed over under the client and clears its
// chain-busy byte.
LUMBRA_EXPORT void KDBdatafree(int client);
// 255 from KDBputfiles until KDBdatafree, else 0.
LUMBRA_EXPORT int KDBchainbusy(int client);

#ifdef __cplusplus
}
#endif

#endif
