// delve-check [DIR]: checks a game folder's data files and tiles the way the
// game reads them, since the game itself shows "%%" or 0 for every mistake.
// Exit status: 0 clean, 1 with findings, 2 when DIR cannot be checked.
#include <iostream>
#include <string>

#include "data/check/folder_check.h"
#include "data/check/report.h"
#include "delve_version.h"
#include "platform/system.h"

int main(int argc, char** given) {
    delve::useUtf8Console();
    const delve::ProgramArguments args(argc, given);
    argc = args.argc;
    char** argv = args.argv;
    const std::string first = argc >= 2 ? argv[1] : "";
    if (argc == 2 && first == "--help") {
        std::cout << "usage: delve-check [DIR]\n"
                     "Checks DIR/res/*.dat and DIR/tiles (DIR defaults to the current folder) the way\n"
                     "the game reads them. Exit status: 0 clean, 1 with findings, 2 when DIR cannot be checked.\n";
        return 0;
    }
    if (argc == 2 && first == "--version") {
        std::cout << "delve-check " << DELVE_VERSION << '\n';
        return 0;
    }
    if (argc > 2 || (argc == 2 && std::string(argv[1]).rfind("-", 0) == 0)) {
        std::cerr << "usage: delve-check [DIR]\n"
                     "Checks DIR/res/*.dat and DIR/tiles (DIR defaults to the current folder).\n";
        return 2;
    }
    const std::string root = argc == 2 ? argv[1] : ".";
    delve::check::Report report;
    const delve::check::FolderCheck checked = delve::check::checkGameFolder(root, report);
    if (!checked.problem.empty()) {
        std::cerr << "delve-check: " << checked.problem << '\n';
        return 2;
    }
    delve::check::printFindings(std::cout, report);
    const size_t n = report.findings.size();
    if (n == 0) {
        std::cout << "delve-check: " << root << " is ready: 3 data files and " << checked.tiles << " tiles checked\n";
        return 0;
    }
    std::cout << "delve-check: " << n << (n == 1 ? " problem" : " problems") << " in " << root << '\n';
    return 1;
}
