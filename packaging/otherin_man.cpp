// Writes the manual page otherin(1), made from the help that `otherin --help`
// prints, to the file named by its one argument.

#include <fstream>
#include <iostream>

#include "app/usage.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: otherin_man OUTPUT\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << otherin::app::manPage(otherin::app::helpText());
    out.close();
    if (!out) {
        std::cerr << "otherin_man: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
