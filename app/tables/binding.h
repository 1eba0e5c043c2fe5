// The form-record binding: every entry control of a window carries, in its
// dynamic property "tag", the name of the record item it edits. These
// routines move all tagged controls of a window, whatever frame they sit in,
// to or from one file's record buffer; items the file lacks are left to the
// record layer to ignore.
#ifndef TESSALY_APP_TABLES_BINDING_H
#define TESSALY_APP_TABLES_BINDING_H

#include <QString>

#include "app/tables/kdbapi.h"

class QWidget;

namespace tables {

// The name of the property that holds a control's item name.
inline constexpr char kTagProperty[] = "tag";

// Gives `control` the item name `item`.
void setTag(QWidget *control, const char *item);

// The value a control holds for the binding: the text of a line edit, list
// or combo box; "0", "1" or "2" for an unchecked, checked or partly checked
// check box; the caption of a button or label; "" for any other control.
QString controlValue(const QWidget *control);

// Stores the value of every tagged control under `window` into the record
// buffer of `fileId` (tag without trailing blanks as the item name). Values
// are not trimmed; results of the record layer are not examined.
void controlsToRecord(KdbApi &kdb, QWidget *window, int fileId);

// Copies the current record of `fileId` into every tagged control under
// `window` whose item yields a text that is not "" (others keep what they
// show). With `trim`, trailing blanks are removed. A check box takes the
// leading number of the text as its state (0 when none).
void recordToControls(KdbApi &kdb, QWidget *window, int fileId, bool trim);

// The text of occurrence `occ` of `item` in the current record of `fileId`,
// "" when the file or the item is unknown.
QString itemText(KdbApi &kdb, const char *item, int fileId, int occ = 0);

}  // namespace tables

#endif
