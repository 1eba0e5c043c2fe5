// Field encryption of record files. With a key set (KDBencrypt), every record
// written goes to the file enciphered and every record read is deciphered in
// the record buffer; the key lives only in the file's context.
//
// The cipher works item by item, in the order of the item table. Key items
// stay in clear, so that the engine can index the record: an item is a key
// item when some segment of some key starts at the item's offset. Every byte
// k (from 0) of every occurrence j (from 0) of another item, at record offset
// a = item offset + j * item length (offsets count the status byte), moves by
// the sum, over the key's characters c, of c + a + k, modulo 256: up when
// enciphering, down when deciphering. The status byte and the bytes outside
// items never change. A variable-length file ends a trimmed element at a
// tab (engine/data/varlen_packing.h), so there the cipher never makes one:
// a byte that would come out as a tab moves by its shift a second time, and
// a tab in clear, which such a file stores as a space, is enciphered as one.
// Every other byte is enciphered as before, so files written earlier read
// the same.
#ifndef LUMBRA_ACCESS_CIPHER_H
#define LUMBRA_ACCESS_CIPHER_H

namespace lumbra {

struct kdb_file;

// Enciphers a record of f (f's record length, laid out as f's records) in
// place. Nothing changes when f has no key.
void encipher(const kdb_file &f, char *record);

// Deciphers f's record buffer in place. Nothing changes when f has no key.
void decipher(kdb_file &f);

}  // namespace lumbra

#endif
