// Memory of the ADIF reader on a large file: generates a file of MEGABYTES
// (default 1024) of contacts, reads every record of it through the reader
// as the import does, and prints the records, the time and how far the
// process's peak memory (VmHWM) grew; the goal is under 64 MB. Then the
// same for a file of one value that claims nearly the whole file, which the
// reader must pass over, and the refusal of /dev/zero.
//
//   bench_adif_stream [MEGABYTES]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "app/tables/adif.h"
#include "app/tables/adiflog.h"

namespace {

// A line of /proc/self/status in kB.
long statusKb(const char *name) {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith(name)) return line.mid(qstrlen(name)).trimmed().split(' ').value(0).toLong();
  return -1;
}

bool writeFile(const QString &path, qint64 bytes, bool oneValue) {
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  if (oneValue) {
    const QByteArray head = "<COMMENT:" + QByteArray::number(bytes) + ">";
    out.write(head);
    const QByteArray block(1 << 20, 'x');
    for (qint64 left = bytes; left > 0; left -= block.size()) out.write(block.constData(), std::min<qint64>(left, block.size()));
    return out.write("<EOR>") == 5;
  }
  QByteArray chunk;
  for (int i = 0; i < 4000; ++i)
    chunk += tables::adifField("CALL", "K1X" + QByteArray::number(i)) + tables::adifField("QSO_DATE", "20261207") +
             tables::adifField("TIME_ON", "210509") + tables::adifField("FREQ", "14.074000") +
             tables::adifField("MODE", "FT8") + tables::adifField("COMMENT", QByteArray(120, 'c')) + "<EOR>\n";
  for (qint64 written = 0; written < bytes; written += chunk.size())
    if (out.write(chunk) != chunk.size()) return false;
  return true;
}

void readAll(const char *what, const QString &path) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) std::exit(1);
  const long before = statusKb("VmHWM:");
  QElapsedTimer timer;
  timer.start();
  tables::AdifReader reader(&in);
  qint64 records = 0, damaged = 0;
  while (std::optional<tables::AdifRecord> record = reader.next()) {
    ++records;
    if (record->damage != tables::AdifDamage::None) ++damaged;
  }
  const long grown = statusKb("VmHWM:") - before;
  std::printf("%-28s %6.0f MB  %9lld records (%lld damaged)  %5.1f s  peak memory %5.1f MB, grew %5.1f MB; goal: "
              "grows < 64 MB\n", what, in.size() / 1048576.0, static_cast<long long>(records),
              static_cast<long long>(damaged), timer.nsecsElapsed() / 1e9, (before + grown) / 1024.0, grown / 1024.0);
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 1024;
  QTemporaryDir dir;
  const QString path = dir.filePath("big.adi");
  if (!writeFile(path, megabytes << 20, false)) return 1;
  readAll("contacts", path);
  if (!writeFile(path, megabytes << 20, true)) return 1;
  readAll("one value of the whole file", path);
  QFile::remove(path);
  const tables::AdifImport zero = tables::importLogAdif({nullptr, 0, nullptr}, QStringLiteral("/dev/zero"));
  std::printf("/dev/zero: %s\n", qPrintable(zero.message(QStringLiteral("/dev/zero"))));
  return 0;
}
