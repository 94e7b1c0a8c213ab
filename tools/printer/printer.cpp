// Installs the test printer (a PostScript printer whose port writes a file,
// tools/common/test_printer.h) into the running Wine prefix as the default
// printer, for programs that print through the default printer: the SDK's
// printing example in its test run.  Prints the printer's name.
#include "tools/common/test_printer.h"

int main() {
    zvtools::TestPrinter printer;
    std::string why;
    if (!zvtools::InstallTestPrinter(&printer, "zvdisp print test", "LPT2:", "zvdisp-print-job.ps", true, &why)) {
        std::printf("zvprinter: no test printer: %s\n", why.c_str());
        return 1;
    }
    std::printf("zvprinter: default printer \"%s\", port %s\n", printer.Name.c_str(), printer.Port.c_str());
    return 0;
}
