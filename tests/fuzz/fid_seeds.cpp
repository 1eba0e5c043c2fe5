// fuzz_fid_seeds OUTDIR DESCRIPTION...: writes OUTDIR/<name>.fid for each
// description, as seeds for the FID fuzz target.
#include <stdio.h>
#include <string.h>

#include <string>

#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"

using namespace corvex;

int main(int argc, char **argv) {
  if (argc < 3 || strcmp(argv[1], "--help") == 0) {
    fprintf(argc < 3 ? stderr : stdout, "usage: fuzz_fid_seeds OUTDIR DESCRIPTION...\n");
    return argc < 3 ? 2 : 0;
  }
  for (int i = 2; i < argc; i++) {
    Description d;
    std::string error;
    std::string base = argv[i];
    base = base.substr(base.find_last_of('/') + 1);
    base = base.substr(0, base.find('.'));
    std::string out = std::string(argv[1]) + "/" + base + ".fid";
    if (!read_description(argv[i], &d, &error) || !fid_write(d, out.c_str(), &error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
