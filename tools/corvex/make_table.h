// Making a table from a text description: the FID file, then the empty data
// and index files through the engine.
#ifndef TESSALY_TOOLS_CORVEX_MAKE_TABLE_H
#define TESSALY_TOOLS_CORVEX_MAKE_TABLE_H

#include <string>

namespace corvex_tool {

// The data file a description names when none is given: the description's
// file name with its extension replaced by ".Dat", in the current directory
// ("data/Log.desc" gives "Log.Dat").
std::string default_data_name(const std::string &desc_path);

// Reads the description at `desc_path`, writes the FID file beside
// `data_path` and creates the data and index files (emptying existing ones).
// On failure returns false and sets `error` to one line.
bool make_table(const std::string &desc_path, const std::string &data_path, std::string *error);

}  // namespace corvex_tool

#endif
