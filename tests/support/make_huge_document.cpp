// Writes a TNW document whose stored picture is 16384 × 16384 pixels (1 GiB)
// in a Zstandard blob of a few MiB, to the path named on the command line:
// the document whose thumbnail must not cost the picture's memory.
#include <cstdio>

#include "file_bytes.h"
#include "vfq_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_huge_document OUTPUT.vfq\n");
    return 2;
  }
  return vfktest::WriteFileBytes(argv[1], vfqtest::PatternDocument(16384, 16384).Build()) ? 0 : 1;
}
