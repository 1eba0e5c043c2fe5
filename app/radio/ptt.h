// Ptt: keys the transmitter by a control line of the CAT port, and decides
// who may unkey it.
//
// The transceiver has no transmit command; station interfaces key it when the
// port's RTS line is raised. Keying is shared by the panel's TX button and the
// network clients, each known by a holder id (kPanel for the panel):
//  - key() while unkeyed keys and makes the caller the holder; the holder may
//    key again; anyone else is refused while it is keyed;
//  - unkey() is the holder's, except that the panel can always unkey;
//  - release() forgets a holder that went away, unkeying at once if it held;
//  - forceUnkey() unkeys whoever holds (exit, link lost, a signal);
//  - kDefaultTimeoutMs after keying (not extended by keying again) the
//    transmitter is unkeyed whatever the holder does.
// Every unkey its holder did not ask for is reported by notice(). The line
// follows keyed() exactly; the port must outlive this object, which unkeys
// when it goes.
#ifndef TESSALY_APP_RADIO_PTT_H
#define TESSALY_APP_RADIO_PTT_H

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace radio {

class SerialLink;

class Ptt : public QObject {
  Q_OBJECT
public:
  using Holder = quint64;
  static constexpr Holder kPanel = 0;
  static constexpr int kDefaultTimeoutMs = 180 * 1000;

  enum class Line { None, Rts };
  enum class Result {
    Ok,
    Busy,     // another holder keyed it
    NoLine,   // no keying line is set up
    NotOpen,  // the port is closed
  };

  // Parses the --ptt value: "none" or "rts". Empty with `*why` set for
  // anything else, "dtr" included: the link holds DTR on all the time.
  static std::optional<Line> parseLine(const QString &text, QString *why);

  explicit Ptt(SerialLink *port, QObject *parent = nullptr);
  ~Ptt() override;

  void setLine(Line line) { line_ = line; }
  Line line() const { return line_; }
  void setTimeoutMs(int ms) { timeout_.setInterval(ms); }
  int timeoutMs() const { return timeout_.interval(); }

  Result key(Holder who);
  Result unkey(Holder who);
  void release(Holder who);
  void forceUnkey(const QString &why);
  // The port has just been opened, which may have raised RTS: puts the line
  // back to unkeyed.
  void lineOpened();

  bool keyed() const { return holder_.has_value(); }
  std::optional<Holder> holder() const { return holder_; }

  // What a refusal means, for the operator.
  static QString resultText(Result result);

signals:
  void keyedChanged(bool keyed);
  // The transmitter was unkeyed without its holder asking: `why`.
  void notice(const QString &why);

private:
  void drop();

  SerialLink *port_;
  Line line_ = Line::None;
  std::optional<Holder> holder_;
  QTimer timeout_;
};

}  // namespace radio

#endif
