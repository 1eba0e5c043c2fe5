#include "tools/corvex/make_table.h"

#include <cstring>

#include "engine/dispatch.h"
#include "engine/fid/companion_names.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/status.h"

namespace corvex_tool {

namespace {

// Runs `opcode` on `block`; on failure describes the engine's status.
bool request(fhrequest *block, uint8_t opcode, const char *what, std::string *error) {
  block->opcode = opcode;
  if (_filehandler(block) == 0) return true;
  char message[200];
  corvex::status_message(block->status, message, sizeof message);
  *error = std::string(what) + ": " + (*message ? std::string(message) + " " : std::string()) + "(engine status " +
           std::to_string(block->status) + ")";
  return false;
}

}  // namespace

std::string default_data_name(const std::string &desc_path) {
  std::string name = desc_path.substr(desc_path.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name + ".Dat";
}

bool make_table(const std::string &desc_path, const std::string &data_path, std::string *error) {
  corvex::Description desc;
  if (!corvex::read_description(desc_path.c_str(), &desc, error)) return false;
  if (data_path.empty() || data_path.size() >= FH_NAMESIZE) {
    *error = data_path + ": a data file name of 1 to " + std::to_string(FH_NAMESIZE - 1) + " characters is needed";
    return false;
  }
  char fid_name[FH_NAMESIZE];
  if (!corvex::derive_name(data_path.c_str(), corvex::kFidExt, fid_name, sizeof fid_name)) {
    *error = data_path + ": name too long";
    return false;
  }
  if (!corvex::fid_write(desc, fid_name, error)) return false;

  fhrequest init{};
  if (!request(&init, FHOP_INIT, "engine start", error)) return false;
  fhrequest block{};
  std::strncpy(block.datname, data_path.c_str(), FH_NAMESIZE - 1);
  bool ok = request(&block, FHOP_MAKE, data_path.c_str(), error);
  if (ok) ok = request(&block, FHOP_CLOSE, data_path.c_str(), error);
  fhrequest done{};
  done.opcode = FHOP_TERMINATE;
  _filehandler(&done);
  return ok;
}

}  // namespace corvex_tool
