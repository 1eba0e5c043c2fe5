// log_worker: another program on the tables of the current folder, for the
// tests of several programs on one log. It opens them as the program does
// (client, "MSNET") without a window and runs one command:
//   add N TAG      adds N log entries through addEntry, the notes "TAG-i",
//                  printing "KEY TAG-i" once each add is acknowledged
//   edit KEY TEXT  stores TEXT as the notes of the entry with KEY
//   delete KEY     deletes the entry with KEY
//   hold           keeps the three tables open until stdin closes
//   replace DIR K  puts the staged set DIR in place, stopping (exit 3) before
//                  rename K as a killed program would
// Exit code 0 when done, 1 on a failure (said on stderr).
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/tables/binding.h"
#include "app/tables/database.h"
#include "app/tables/lumbra.h"
#include "app/tables/newentry.h"
#include "app/tables/stamps.h"
#include "app/tables/tableset.h"

using namespace tables;

namespace {

int fail(const char *what, int code) {
  std::fprintf(stderr, "log_worker: %s (%d)\n", what, code);
  return 1;
}

int add(KdbApi &kdb, int id, int count, const QByteArray &tag) {
  for (int i = 0; i < count; ++i) {
    const QByteArray notes = tag + '-' + QByteArray::number(i);
    kdb.copyFput(notes, "NOTES", id);
    kdb.copyFput("14.074", "FRQ", id);
    const AddedEntry added = addEntry(kdb, id, "UNIKEY", stampNow(QLatin1String(kUniqueKeyPattern)));
    if (added.key.isEmpty()) return fail("add", added.code);
    std::printf("%s %s\n", added.key.toLatin1().constData(), notes.constData());
    std::fflush(stdout);
  }
  return 0;
}

// Reads the entry with `key`; its code.
int locate(KdbApi &kdb, int id, const QByteArray &key) {
  kdb.posn(id, key, 1, 0x0100);
  return kdb.read(id, 1);
}

int run(const QStringList &args) {
  if (args.size() >= 3 && args[0] == "replace")
    return replaceTableSet(args[1], [stop = args[2].toInt()](int step) {
             if (step == stop) _exit(3);
           })
               ? 0
               : fail("replace", 0);
  LumbraLibrary kdb(LumbraLibrary::defaultPaths());
  Database db(&kdb);
  db.startClient();
  if (!db.openTables()) return fail("cannot open the tables", 0);
  const int id = db.fileId(TableId::Log);
  int code = 1;
  if (args.size() == 3 && args[0] == "add") {
    code = add(kdb, id, args[1].toInt(), args[2].toLatin1());
  } else if (args.size() == 3 && args[0] == "edit") {
    if (int found = locate(kdb, id, args[1].toLatin1()); found != KDB_OK) return fail("edit: no entry", found);
    kdb.copyFput(args[2].toLatin1(), "NOTES", id);
    code = kdb.write(id, 0, 1) == KDB_OK ? 0 : fail("edit", 0);
  } else if (args.size() == 2 && args[0] == "delete") {
    if (int found = locate(kdb, id, args[1].toLatin1()); found != KDB_OK) return fail("delete: no entry", found);
    code = kdb.remove(id) == KDB_OK ? 0 : fail("delete", 0);
  } else if (args.size() == 1 && args[0] == "hold") {
    std::printf("holding\n");
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    code = 0;
  } else {
    std::fprintf(stderr, "log_worker: unknown command\n");
  }
  kdb.init(db.client());
  return code;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  return run(args);
}
