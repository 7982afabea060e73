// wordpack: packs word lists into small archives and unpacks them (see wordpack/file_runs.h).
//
//   wordpack [-d|-t|-l] [-c] [-o FILE] [-f] [-1..-9] [-T N] [-v|-q] [FILE]...
#include "wordpack/run.h"

int main(int argc, char** argv) {
    return static_cast<int>(wordperm::run_wordpack(argc, argv));
}
