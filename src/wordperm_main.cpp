// wordperm: sorts a word list and codes the order it came in, or restores that order.
//
//   wordperm d <word file> <sorted list> <code file>     encode
//   wordperm x <sorted list> <restored file> <code file> decode (any mode but d)
//   wordperm --help | --version
#include "wordperm/run.h"

int main(int argc, char** argv) {
    return static_cast<int>(wordperm::run_wordperm(argc, argv));
}
