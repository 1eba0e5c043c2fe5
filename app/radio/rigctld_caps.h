// What the rigctld server tells clients about this transceiver: the
// \dump_state block that programs of the protocol's library read when they
// open the rig, and the \dump_caps text people read. Both advertise the
// program's frequency range, the modes and filters that get_mode reports and
// a 10 Hz tuning step; no functions, levels or parameters.
#ifndef TESSALY_APP_RADIO_RIGCTLD_CAPS_H
#define TESSALY_APP_RADIO_RIGCTLD_CAPS_H

#include <QByteArray>

namespace radio {
struct FrequencyRange;
}

namespace radio::rigctld {

// The rig model that \dump_state and \dump_caps give: the protocol's network rig.
constexpr int kRigModel = 2;
// How long a client should wait for an answer: a set waits behind at most a
// few others, each of which ends within the link's answer time-out.
constexpr int kClientTimeoutMs = 3000;

// The \dump_state block. Protocol version 1 (`withKeys`, for a client that
// asked \chk_vfo) adds the key=value lines up to "done": no VFO to set, no
// PTT, no targetable VFO, the time-out above.
QByteArray dumpState(const FrequencyRange &range, bool withKeys);

// The \dump_caps text, without the closing "RPRT 0".
QByteArray dumpCaps(const FrequencyRange &range);

}  // namespace radio::rigctld

#endif
