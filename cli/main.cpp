#include "cli/Console.h"
#include "cli/Tool.h"

int main(int argc, char** argv) {
    return cli::RunTool(cli::Arguments(argc, argv));
}
