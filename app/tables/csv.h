// Reading the comma-separated standards file: its fields, their pairing into
// entries, and the name under which the file is opened.
#ifndef TESSALY_APP_TABLES_CSV_H
#define TESSALY_APP_TABLES_CSV_H

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace tables {

// The text of an import file as UTF-8: the file itself when it is valid
// UTF-8 (a leading byte order mark dropped), else the file read as Latin-1.
QByteArray importTextAsUtf8(const QByteArray &file);

// The number of characters of `text` that 8-bit text cannot hold (beyond
// Latin-1); the tables store each of them as "?".
int charactersBeyondLatin1(const QString &text);

// The fields of `text`, in order. A field ends at a comma or at a line end
// (LF, CR LF or CR); blanks and tabs around an unquoted field are dropped. A
// field that starts with a double quote runs to the next double quote and
// may hold commas and line ends; it is taken without the quotes, and
// anything between its closing quote and the next separator is dropped.
// Lines that are empty or blank give no field; neither does the end of the
// text after a final line end.
std::vector<QByteArray> csvFields(const QByteArray &text);

// One entry of the import: a name and its frequency in kHz, which is nullopt
// when the frequency field is not a frequency.
struct ImportPair {
  QByteArray name;
  std::optional<double> khz;
};

// Takes `fields` two at a time, name then frequency, whatever lines they
// came from; a last name without its frequency is dropped. A frequency field
// counts when the whole of it (without surrounding blanks) is a decimal
// number, such as 14070, 7035.5 or 1.4e4, from 0 to 99999.99 kHz (what the
// panel can tune to and the table's picture can hold).
std::vector<ImportPair> pairFields(const std::vector<QByteArray> &fields);

// The name under which a chosen import file is opened: a name shorter than 4
// characters, and then any name whose last four characters are not ".csv" in
// some case, gets ".Csv" appended ("std" opens "std.Csv").
QString importFileName(const QString &chosen);

}  // namespace tables

#endif
