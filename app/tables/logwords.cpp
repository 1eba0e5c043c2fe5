#include "app/tables/logwords.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/tables/binding.h"
#include "app/tables/kdbapi.h"
#include "app/tables/lumbra.h"
#include "engine/words/words.h"
#include "util/memory.h"

namespace tables {

namespace {

constexpr char kLogFile[] = "Log.Dat";
constexpr char kKeywordFile[] = "LogWords.Dat";
constexpr char kDescription[] = "LogWords.fid";
constexpr char kPostings[] = "LogWords.hyp";
// Postings of a rebuild, renamed into place once it is complete, so that
// a rebuild cut short is started again at the next start.
constexpr char kNewPostings[] = "LogWords.hyp.new";
constexpr uint16_t kWordClasses = HYP_MIXED | HYP_NUMBERS | HYP_OTHERS;
constexpr int kProgressFrom = 1000;
constexpr int kProgressEvery = 500;
const QDateTime kEpoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

// True when `a` is missing or was last changed before `b`.
bool olderThan(const char *a, const char *b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0) return true;
  if (stat(b, &sb) != 0) return false;
  if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec) return sa.st_mtim.tv_sec < sb.st_mtim.tv_sec;
  return sa.st_mtim.tv_nsec < sb.st_mtim.tv_nsec;
}

bool markChar(char c) { return std::strchr(".:;,!\"'()", c) != nullptr; }
bool leadingMarkChar(char c) { return std::strchr("\"'()", c) != nullptr; }

}  // namespace

// The engine's word index exports, bound by name.
struct LogWords::Api {
  decltype(&_fhhypinit) init = nullptr;
  decltype(&_fhhypaddline) addLine = nullptr;
  decltype(&_fhhypsearch) search = nullptr;
  decltype(&globalmfree) release = nullptr;

  bool bind(LumbraLibrary &library) {
    init = library.bind<std::remove_pointer_t<decltype(init)>>("_fhhypinit");
    addLine = library.bind<std::remove_pointer_t<decltype(addLine)>>("_fhhypaddline");
    search = library.bind<std::remove_pointer_t<decltype(search)>>("_fhhypsearch");
    release = library.bind<std::remove_pointer_t<decltype(release)>>("globalmfree");
    return init && addLine && search && release;
  }
};

LogWords::LogWords(LumbraLibrary *library) : library_(library) {}

// The program keeps its tables open to the end; the index is closed with
// its tab all the same, which writes nothing that is not written already.
LogWords::~LogWords() { stop(); }

bool LogWords::open(KdbApi &kdb, int logId) {
  auto fail = [this](const QString &why) {
    whyClosed_ = why;
    std::fprintf(stderr, "tessaly: %s\n", qPrintable(why));
    return false;
  };
  if (!api_) {
    api_ = std::make_unique<Api>();
    if (!api_->bind(*library_)) {
      api_.reset();
      return fail(QStringLiteral("The word index functions are missing from the libraries: notes cannot be "
                                 "searched by word"));
    }
  }
  if (!QFile::exists(QLatin1String(kDescription)))
    return fail(QStringLiteral("%1 is missing in %2: notes cannot be searched by word")
                    .arg(QLatin1String(kDescription), QDir::toNativeSeparators(QDir::currentPath())));
  // Postings without their keyword file cannot be reached: made afresh too.
  const bool stale = olderThan(kPostings, kLogFile) || !QFile::exists(QLatin1String(kKeywordFile));
  if (stale && !rebuild(kdb, logId)) return fail(QStringLiteral("The word index could not be made from the log"));
  if (!start(false)) return fail(QStringLiteral("The word index cannot be opened (status %1)").arg(block_.status));
  whyClosed_.clear();
  return true;
}

bool LogWords::start(bool exclusive) {
  stop();
  block_ = fhrequest();
  std::snprintf(block_.datname, sizeof block_.datname, "%s", kKeywordFile);
  if (exclusive) block_.mode = FH_EXCLUSIVE;
  const char *postings = exclusive ? kNewPostings : kPostings;
  open_ = api_->init(&block_, postings, 1) == 0;
  if (!open_) std::fprintf(stderr, "tessaly: cannot open the word index (status %d)\n", block_.status);
  return open_;
}

void LogWords::stop() {
  if (open_) api_->init(&block_, nullptr, 0);
  open_ = false;
}

bool LogWords::rebuild(KdbApi &kdb, int logId) {
  stop();
  for (const char *f : {kKeywordFile, "LogWords.idx", kPostings, kNewPostings}) QFile::remove(QLatin1String(f));
  // Nobody else can use the index while it is made: single-user is faster.
  if (!start(true)) return false;
  std::vector<std::pair<QString, QString>> entries;  // key, notes
  kdb.posn(logId, QByteArray(), 1, 0);
  while (kdb.read(logId, 0) == KDB_OK)
    entries.emplace_back(itemText(kdb, "UNIKEY", logId).trimmed(), itemText(kdb, "NOTES", logId));
  const int total = static_cast<int>(entries.size());
  for (int i = 0; i < total; i++) {
    index(entries[i].first, entries[i].second);
    if (total >= kProgressFrom && (i % kProgressEvery == 0 || i + 1 == total))
      std::fprintf(stderr, "\rtessaly: indexing the words of the log's notes: %d of %d%s", i + 1, total,
                   i + 1 == total ? "\n" : "");
  }
  stop();
  if (std::rename(kNewPostings, kPostings) != 0) {
    std::fprintf(stderr, "tessaly: cannot put the new word index in place\n");
    return false;
  }
  return true;
}

void LogWords::index(const QString &key, const QString &notes) {
  const std::optional<uint32_t> doc = documentOf(key);
  if (!open_ || !doc) return;
  if (api_->addLine(&block_, notes.toLatin1().constData(), *doc, kWordClasses) != 0)
    std::fprintf(stderr, "tessaly: cannot index the notes of entry %s (status %d)\n", qPrintable(key), block_.status);
}

void LogWords::logChanged() {
  if (open_) utimensat(AT_FDCWD, kPostings, nullptr, 0);
}

QStringList LogWords::candidates(const QString &words) {
  const QStringList wanted = searchWords(words);
  if (!open_ || wanted.isEmpty()) return {};
  std::vector<uint32_t> hits;
  for (qsizetype w = 0; w < wanted.size(); w++) {
    uint32_t count = 0;
    uint32_t *found = api_->search(&block_, wanted[w].toLatin1().constData(), &count);
    std::vector<uint32_t> docs(found, found + (found ? count : 0));
    api_->release(found);
    std::sort(docs.begin(), docs.end());
    if (w == 0) {
      hits = std::move(docs);
    } else {
      std::vector<uint32_t> both;
      std::set_intersection(hits.begin(), hits.end(), docs.begin(), docs.end(), std::back_inserter(both));
      hits = std::move(both);
    }
  }
  QStringList keys;
  for (uint32_t doc : hits) keys << keyOf(doc);
  return keys;
}

QStringList LogWords::searchWords(const QString &text) {
  QStringList out;
  for (const QString &piece : text.split(QRegularExpression(QStringLiteral("[ \\t\\r\\n]+")), Qt::SkipEmptyParts)) {
    QByteArray word = piece.toLatin1();
    while (!word.isEmpty() && markChar(word.back())) word.chop(1);
    while (!word.isEmpty() && leadingMarkChar(word.front())) word.remove(0, 1);
    const bool twoCapitals = word.size() == 2 && std::isupper(static_cast<unsigned char>(word[0])) &&
                             std::isupper(static_cast<unsigned char>(word[1]));
    if (word.size() < 3 && !twoCapitals) continue;
    word = word.toLower();
    if (word == "and" || word == "the") continue;
    out << QString::fromLatin1(word);
  }
  return out;
}

bool LogWords::notesHold(const QString &notes, const QStringList &words) {
  const QStringList held = searchWords(notes);
  return std::all_of(words.begin(), words.end(), [&](const QString &w) { return held.contains(w); });
}

std::optional<uint32_t> LogWords::documentOf(const QString &key) {
  const QString k = key.trimmed();
  if (k.size() != 12) return std::nullopt;
  // Counted as if the key's clock were UTC: no gaps or repeats of the
  // local clock change the number.
  const QDate day = QDate::fromString(QStringLiteral("20") + k.left(6), QStringLiteral("yyyyMMdd"));
  const QTime time = QTime::fromString(k.mid(6), QStringLiteral("HHmmss"));
  if (!day.isValid() || !time.isValid()) return std::nullopt;
  const qint64 secs = kEpoch.secsTo(QDateTime(day, time, Qt::UTC));
  if (secs < 0 || secs > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(secs);
}

QString LogWords::keyOf(uint32_t doc) {
  return kEpoch.addSecs(doc).toString(QStringLiteral("yyMMddHHmmss"));
}

}  // namespace tables
