#include "access/return_code.h"

namespace lumbra {

int translate_status(uint8_t status) {
  switch (status) {
    case 0: return kOk;
    case 1:
    case 2: return kCannotOpen;
    case 6: return kFidOpen;
    case 7:
    case 8:
    case 112: return kFidBad;
    case 9:
    case 53: return kNoMemory;
    case 19: return kMismatch;
    case 100: return kEndOfFile;
    case 103: return kReadPastEnd;
    case 105: return kReadOnly;
    case 106: return kBadNetMode;
    case 107:
    case 108: return kLocked;
    case 109: return kDeleted;
    case 113: return kNeedsRecover;
    case 114: return kKeyExists;
    default: return kEngineFailure;
  }
}

}  // namespace lumbra
