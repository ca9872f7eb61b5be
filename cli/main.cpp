// pyxo: the token from a shell.
#include <iostream>

#include "cli.h"

int main(int argc, char **argv)
{
    return pyxo_cli::run(argc, argv, std::cout, std::cerr, std::cin);
}
