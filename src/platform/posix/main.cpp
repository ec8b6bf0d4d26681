// The Linux program's entry point: the arguments are kept and the run starts.
#include <signal.h>

#include "driver/entry.h"
#include "platform/posix/platform_posix.h"

int main(int argc, char** argv) {
    platform_keep_arguments(argc, argv);
    // A reader that goes away must make writes fail, as on Windows, not end the process unreported.
    signal(SIGPIPE, SIG_IGN);
    run_ferrule();
}
