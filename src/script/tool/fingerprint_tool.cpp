// Build tool: writes the fingerprint file beside each script named on its command line, the
// same file `vexal-cli fingerprint` writes, so that the shipped scripts load wherever a
// fingerprint is demanded. Exit 1 when any script could not be fingerprinted.
#include <iostream>

#include "script/fingerprint_file.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "Usage: " << argv[0] << " SCRIPT...\n";
        return 2;
    }
    int rc = 0;
    for (int i = 1; i < argc; ++i) {
        const auto outcome = vexal::script::WriteFingerprintFile(argv[i]);
        if (outcome.result != vexal::script::FingerprintWrite::Written) {
            std::cerr << outcome.message << "\n";
            rc = 1;
        }
    }
    return rc;
}
